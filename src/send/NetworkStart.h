// NetworkStart.h - what the process does once before its first connection.
#pragma once

// On POSIX a peer that closes a connection must never end the program through SIGPIPE; on
// Windows the socket library is started. False when that fails.
bool StartNetwork();
