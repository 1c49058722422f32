// PosixNetworkStart.cpp - the start of the network on POSIX.
#include "send/NetworkStart.h"

#include <csignal>

bool StartNetwork()
{
    return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}
