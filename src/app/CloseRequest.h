// CloseRequest.h - a request from outside to end the program: SIGINT or SIGTERM on Linux; Ctrl+C,
// Ctrl+Break, closing the console window, logging off or shutting down on Windows.
#pragma once

// From now on each request is caught instead of ending the process: the flag is set and onClose
// (may be null) is called. onClose runs in a signal handler on Linux and on a thread of its own
// on Windows, so it may only do what is safe there (set an atomic flag).
void CatchCloseRequests(void (*onClose)());

// Whether a request came.
bool CloseRequested();
