// Md5.h - MD5 (RFC 1321) and HMAC-MD5 (RFC 2104), for the CRAM-MD5 answer: the mechanism fixes
// the hash, which is no longer fit for anything else.
#pragma once
#include <array>
#include <string_view>

using Md5Digest = std::array<unsigned char, 16>;

Md5Digest Md5(std::string_view bytes);
Md5Digest HmacMd5(std::string_view key, std::string_view message);
