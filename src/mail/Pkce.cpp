// Pkce.cpp - SHA-256, base64url and the code challenge.
#include "mail/Pkce.h"

#include <cstdint>
#include <vector>

namespace
{
constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t Rotate(std::uint32_t n, int nBits)
{
    return (n >> nBits) | (n << (32 - nBits));
}
} // namespace

std::string Sha256(const std::string& strBytes)
{
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::vector<unsigned char> data(strBytes.begin(), strBytes.end());
    const std::uint64_t nBits = static_cast<std::uint64_t>(data.size()) * 8;
    data.push_back(0x80);
    while (data.size() % 64 != 56)
        data.push_back(0);
    for (int i = 7; i >= 0; --i)
        data.push_back(static_cast<unsigned char>(nBits >> (i * 8)));
    for (std::size_t nBlock = 0; nBlock < data.size(); nBlock += 64)
    {
        std::uint32_t w[64];
        for (std::size_t i = 0; i < 16; ++i)
            w[i] = static_cast<std::uint32_t>(data[nBlock + 4 * i]) << 24 |
                   static_cast<std::uint32_t>(data[nBlock + 4 * i + 1]) << 16 |
                   static_cast<std::uint32_t>(data[nBlock + 4 * i + 2]) << 8 |
                   static_cast<std::uint32_t>(data[nBlock + 4 * i + 3]);
        for (int i = 16; i < 64; ++i)
        {
            const std::uint32_t s0 =
                Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6],
                      hh = h[7];
        for (int i = 0; i < 64; ++i)
        {
            const std::uint32_t s1 = Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25);
            const std::uint32_t ch = (e & f) ^ (~e & g);
            const std::uint32_t t1 = hh + s1 + ch + kRound[i] + w[i];
            const std::uint32_t s0 = Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22);
            const std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
            const std::uint32_t t2 = s0 + maj;
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
        h[5] += f;
        h[6] += g;
        h[7] += hh;
    }
    std::string strDigest;
    for (const std::uint32_t n : h)
        for (int i = 3; i >= 0; --i)
            strDigest += static_cast<char>((n >> (i * 8)) & 0xFF);
    return strDigest;
}

std::string Base64Url(const std::string& strBytes)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string strOut;
    std::size_t i = 0;
    for (; i + 2 < strBytes.size(); i += 3)
    {
        const auto n = static_cast<std::uint32_t>(static_cast<unsigned char>(strBytes[i])) << 16 |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(strBytes[i + 1]))
                           << 8 |
                       static_cast<unsigned char>(strBytes[i + 2]);
        for (int nShift = 18; nShift >= 0; nShift -= 6)
            strOut += kAlphabet[(n >> nShift) & 0x3F];
    }
    const std::size_t nLeft = strBytes.size() - i;
    if (nLeft > 0)
    {
        std::uint32_t n = static_cast<std::uint32_t>(static_cast<unsigned char>(strBytes[i])) << 16;
        if (nLeft == 2)
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(strBytes[i + 1])) << 8;
        strOut += kAlphabet[(n >> 18) & 0x3F];
        strOut += kAlphabet[(n >> 12) & 0x3F];
        if (nLeft == 2)
            strOut += kAlphabet[(n >> 6) & 0x3F];
    }
    return strOut;
}

std::string RandomToken(std::size_t nBytes)
{
    std::string strBytes(nBytes, '\0');
    if (!SystemRandomBytes(strBytes.data(), nBytes))
        return std::string();
    return Base64Url(strBytes);
}

std::string CodeChallengeS256(const std::string& strVerifier)
{
    return Base64Url(Sha256(strVerifier));
}
