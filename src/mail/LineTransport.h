// LineTransport.h - the three operations on a mail server connection: send a text whole, read one
// server reply, send one command and check its reply code. Nothing is added to what is sent: the
// caller's text carries its own line ends.
#pragma once
#include "app/Platform.h"
#include "mail/SendResult.h"
#include "mail/Socket.h"

// Sends a NUL-terminated text in send calls of at most 1024 bytes. Stops at the first call that
// fails or sends nothing. Returns the number of bytes sent (0 for an empty text).
int SendText(ISocket& socket, const char* pszText);

// Reads one reply into pszBuffer[nCapacity] (cleared first, NUL-terminated) in receives of at most
// 255 bytes, joining pieces until one ends with the terminator byte or the server closes; the
// whole reply within one reply deadline (ISocket::BeginReply).
// Deliberate limits the session relies on: nothing looks for the terminator inside a piece, so a
// multi-line reply that arrives in several pieces is read only up to the first piece ending in a
// line end; a piece that would bring the total to nCapacity or more is dropped and the read ends
// (the caller treats a short reply as no reply). A receive failure whose code has a message shows
// "RxSocket: ..." in a message box and gives 0; any other failure (a time-out included) gives the
// bytes read so far. Returns the number of bytes read.
int ReadReply(ISocket& socket, IPlatform& platform, char* pszBuffer, int nCapacity,
              char chTerminator);

// Sends the NUL-terminated command line with one send call, reads the reply into a 1024-byte buffer
// (terminator LF) and compares its leading number (taken as atoi does) with nExpectedCode.
CommandResult SendCommand(ISocket& socket, IPlatform& platform, const char* pszLine,
                          int nExpectedCode);

// The leading decimal number of a reply, taken as atoi does (leading white space and a sign
// allowed, 0 when there are no digits); saturates instead of overflowing.
long ReplyCode(const char* pszReply);

// The "RxSocket: ..." message of a receive error code, or nullptr when the code has none.
const char* ReceiveErrorMessage(int nWsaError);

// A socket error code as text for the user: its name and what it means ("WSAETIMEDOUT: ...").
std::string SocketErrorText(int nWsaError);
