// PosixRandom.cpp - random bytes from the kernel (getrandom).
#include "mail/Pkce.h"

#include <cerrno>
#include <sys/random.h>

bool SystemRandomBytes(void* pBuffer, std::size_t nBytes)
{
    auto* p = static_cast<unsigned char*>(pBuffer);
    while (nBytes > 0)
    {
        const ssize_t nGot = ::getrandom(p, nBytes, 0);
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot <= 0)
            return false;
        p += nGot;
        nBytes -= static_cast<std::size_t>(nGot);
    }
    return true;
}
