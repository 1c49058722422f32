// CloseRequest.h - a request from outside to close the program the way its close box does: on
// POSIX SIGINT and SIGTERM.
#pragma once

// Catches the close requests from now on. Each one sets the flag CloseRequested reads, then calls
// onRequest, which must be safe in a signal handler (a lock-free store, such as
// RequestSendCancel); nullptr calls nothing.
void CatchCloseRequests(void (*onRequest)());

// True once a close request has come.
bool CloseRequested();
