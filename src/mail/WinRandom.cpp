// WinRandom.cpp - random bytes from the system's preferred generator (BCryptGenRandom).
#include "mail/Pkce.h"

#include <windows.h>

#include <bcrypt.h>

bool SystemRandomBytes(void* pBuffer, std::size_t nBytes)
{
    return nBytes <= 0xFFFFFFFFu &&
           BCryptGenRandom(nullptr, static_cast<PUCHAR>(pBuffer), static_cast<ULONG>(nBytes),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}
