// SendResult.h - the result codes of the mail session. A send operation returns a count above 0
// when the whole message was written and the server took it, 0 when the POP3 connection, the POP3
// log-in or the SMTP connection failed, and a negative code for the step that failed after that.
#pragma once

// Results of SendPlainMail and SendMultipartMail.
constexpr int SEND_NO_SESSION = 0;
constexpr int SEND_HELO_NOT_SENT = -1;
constexpr int SEND_HELO_NO_REPLY = -2;
constexpr int SEND_HELO_REFUSED = -3;
constexpr int SEND_MAIL_FROM_NOT_SENT = -11;
constexpr int SEND_MAIL_FROM_NO_REPLY = -12;
constexpr int SEND_MAIL_FROM_REFUSED = -13;
constexpr int SEND_RCPT_TO_NOT_SENT = -21;
constexpr int SEND_RCPT_TO_NO_REPLY = -22;
constexpr int SEND_RCPT_TO_REFUSED = -23;
constexpr int SEND_DATA_NOT_SENT = -31;
constexpr int SEND_DATA_NO_REPLY = -32;
constexpr int SEND_DATA_REFUSED = -33;
constexpr int SEND_FROM_LINE_NOT_SENT = -41;
constexpr int SEND_TO_LINE_NOT_SENT = -42;
constexpr int SEND_SUBJECT_LINE_NOT_SENT = -43;
// A sender or recipient address, a name, the title or the attachment's file name holds CR or LF:
// refused before any connection, so nothing can be injected into a command or a header.
constexpr int SEND_VALUE_HAS_LINE_BREAK = -50;
// A header line (From, To, Subject: 1023 bytes once encoded; the attachment's Content-Type and
// Content-Disposition: 255 bytes) does not fit its buffer: refused before any connection, never
// cut on the wire.
constexpr int SEND_HEADER_TOO_LONG = -51;
// The message data after the header lines could not be written whole (the connection failed
// while it was being sent).
constexpr int SEND_DATA_LOST = -52;
// The message was written whole but the server did not take it: its reply to the end of the data
// was missing or not 250 (a message refused as too large or as spam is not a sent mail).
constexpr int SEND_DATA_REJECTED = -53;

// The delivery profile (Delivery.ini) and the modern session: TLS and SMTP AUTH. Each is its own
// failure the user can act on; none of them lets a log-in, AUTH or MAIL FROM go out in clear when
// the profile asks for TLS.
// A Delivery.ini value is not one of the listed ones: refused before any connection.
constexpr int SEND_PROFILE_REFUSED = -60;
// The server does not offer STARTTLS (or answers STLS with -ERR as unknown).
constexpr int SEND_TLS_NOT_OFFERED = -61;
// The server refused to start TLS after STARTTLS or STLS.
constexpr int SEND_TLS_REFUSED = -62;
// The server sent bytes after its reply to STARTTLS or STLS, before the handshake.
constexpr int SEND_TLS_INJECTION = -63;
// No TLS session: the handshake failed (not TLS 1.2 or later, closed, timed out).
constexpr int SEND_TLS_FAILED = -64;
// The server's certificate does not lead to a trusted CA (system store and CaFile).
constexpr int SEND_CERT_UNTRUSTED = -65;
// The certificate is trusted but does not name the server as typed.
constexpr int SEND_CERT_WRONG_HOST = -66;
// The CaFile of Delivery.ini could not be read as PEM certificates.
constexpr int SEND_CA_FILE_UNREADABLE = -67;
// SMTP AUTH is asked for but the server offers none of PLAIN, LOGIN and CRAM-MD5.
constexpr int SEND_AUTH_NOT_OFFERED = -68;
// The server refused the log-in name or password (SMTP AUTH, or POP3 over TLS).
constexpr int SEND_LOGIN_REFUSED = -69;
// The connection ended or failed during the log-in, before the server answered.
constexpr int SEND_LOGIN_NO_REPLY = -70;

// SendEnvelope: 0, or the code whose negative is the send result.
constexpr int ENVELOPE_OK = 0;
constexpr int ENVELOPE_MAIL_FROM = 10; // added to the SendCommand code of the step
constexpr int ENVELOPE_RCPT_TO = 20;
constexpr int ENVELOPE_DATA = 30;
constexpr int ENVELOPE_FROM_LINE = 41;
constexpr int ENVELOPE_TO_LINE = 42;
constexpr int ENVELOPE_SUBJECT_LINE = 43;

// OpenPop and OpenSmtp.
constexpr int OPEN_OK = 0;
constexpr int OPEN_NO_SOCKET = 1;
constexpr int OPEN_NOT_CONNECTED = 2;
constexpr int OPEN_NO_GREETING = 3;
constexpr int OPEN_BAD_GREETING = 4;

// PopLogin.
constexpr int POPLOGIN_OK = 0;
constexpr int POPLOGIN_USER_NOT_SENT = 1;
constexpr int POPLOGIN_USER_NO_REPLY = 2;
constexpr int POPLOGIN_USER_REFUSED = 3;
constexpr int POPLOGIN_PASS_NOT_SENT = 4;
constexpr int POPLOGIN_PASS_NO_REPLY = 5;
constexpr int POPLOGIN_PASS_REFUSED = 6;
