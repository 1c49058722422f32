// SocketPlatform.h - what PosixSocket.cpp and WinSocket.cpp each give the shared socket code in
// SystemSocket.cpp besides CSystemSocket's own platform part.
#pragma once
#include <cstdint>

struct addrinfo;

namespace socket_platform
{
// Starts the system's sockets for the process once; later calls give the first answer.
bool Start();
// Milliseconds on a monotonic clock.
std::int64_t NowMs();
// getaddrinfo for a TCP stream to host and numeric port; bLiteralOnly takes only an address
// literal (no lookup). nullptr when nothing is found.
addrinfo* LookUp(const char* pszHost, const char* pszPort, bool bLiteralOnly);
void FreeAddresses(addrinfo* pList);
// The address after p in its list (the type is only complete in the system's headers).
const addrinfo* NextAddress(const addrinfo* p);
} // namespace socket_platform
