// TestSocket.h - the few socket calls of the loopback test servers, over POSIX sockets or Windows
// Sockets, so that one fake server serves the tests on both.
#pragma once
#include <cstddef>
#include <cstdint>

using TestSocket = std::intptr_t; // a descriptor or a SOCKET
constexpr TestSocket kNoTestSocket = -1;

// A TCP socket listening on 127.0.0.1 at an ephemeral port with a queue of nBacklog; its port in
// nPort. kNoTestSocket when it cannot listen.
TestSocket ListenOnLoopback(int nBacklog, int& nPort);
// Waits up to nMs for a connection or for data (or the peer's close): true when there is one.
bool WaitReadable(TestSocket s, int nMs);
// Accepts one waiting connection, with Nagle off; kNoTestSocket on failure.
TestSocket AcceptConnection(TestSocket listener);
// One send or receive call: the count, 0 when the peer has closed, negative on failure. A send to
// a peer that has gone fails; it never raises SIGPIPE.
long SendSome(TestSocket s, const char* pData, std::size_t nLength);
long ReceiveSome(TestSocket s, char* pBuffer, std::size_t nMaximum);
void CloseTestSocket(TestSocket s);
// Closes with a reset (RST) instead of an orderly close.
void ResetTestSocket(TestSocket s);
// Whether ResetTestSocket reaches the peer as a reset. Wine 8 closes a socket with a zero linger
// time in order, so there the peer sees an orderly close; Windows and Linux reset.
bool ResetReachesThePeer();
void PauseMs(int nMs);
