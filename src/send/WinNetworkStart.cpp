// WinNetworkStart.cpp - the start of the network on Windows: Winsock 2.2, kept until the process
// ends.
#include "send/NetworkStart.h"

#include <winsock2.h>

bool StartNetwork()
{
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
