// Pkce.h - what the authorization code grant needs besides HTTP: random bytes from the operating
// system (PosixRandom.cpp, WinRandom.cpp), SHA-256 (FIPS 180-4; no crypto library on every
// platform), and the S256 code challenge of PKCE (RFC 7636) in base64url without padding.
#pragma once
#include <cstddef>
#include <string>

// nBytes random bytes from the OS; false when it gives none (never a weaker source instead).
bool SystemRandomBytes(void* pBuffer, std::size_t nBytes);

// The 32-byte digest.
std::string Sha256(const std::string& strBytes);

// Base64url without padding (RFC 4648 section 5).
std::string Base64Url(const std::string& strBytes);

// A random text of nBytes random bytes in base64url (a code verifier, a state); empty when the
// OS gives no random bytes.
std::string RandomToken(std::size_t nBytes);

// BASE64URL(SHA256(verifier)).
std::string CodeChallengeS256(const std::string& strVerifier);
