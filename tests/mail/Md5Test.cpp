// Md5Test.cpp - the RFC 1321 MD5 and RFC 2202 HMAC-MD5 test vectors.
#include "mail/Md5.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct DigestRow
{
    const char* pszName;
    bool bHmac;
    std::string strKey;
    std::string strMessage;
    const char* pszHex;
};

std::ostream& operator<<(std::ostream& out, const DigestRow& row)
{
    return out << row.pszName;
}

std::string Hex(const Md5Digest& digest)
{
    static const char kHex[] = "0123456789abcdef";
    std::string strHex;
    for (const unsigned char c : digest)
        strHex.append(1, kHex[c >> 4]).append(1, kHex[c & 0x0F]);
    return strHex;
}

std::string Key25()
{
    std::string strKey;
    for (char c = 1; c <= 25; ++c)
        strKey += c;
    return strKey;
}

const std::string kDigits = "1234567890";
} // namespace

class Md5Vectors : public ::testing::TestWithParam<DigestRow>
{
};

TEST_P(Md5Vectors, Match)
{
    const DigestRow& row = GetParam();
    EXPECT_EQ(Hex(row.bHmac ? HmacMd5(row.strKey, row.strMessage) : Md5(row.strMessage)),
              row.pszHex);
}

INSTANTIATE_TEST_SUITE_P(
    Rfc, Md5Vectors,
    ::testing::Values(
        DigestRow{"Empty", false, "", "", "d41d8cd98f00b204e9800998ecf8427e"},
        DigestRow{"A", false, "", "a", "0cc175b9c0f1b6a831c399e269772661"},
        DigestRow{"Abc", false, "", "abc", "900150983cd24fb0d6963f7d28e17f72"},
        DigestRow{"MessageDigest", false, "", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        DigestRow{"Alphabet", false, "", "abcdefghijklmnopqrstuvwxyz",
                  "c3fcd3d76192e4007dfb496cca67e13b"},
        DigestRow{"LengthSpillsIntoASecondBlock", false, "",
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                  "d174ab98d277d9f5a5611c2c9f419d9f"},
        DigestRow{"MoreThanOneBlock", false, "",
                  kDigits + kDigits + kDigits + kDigits + kDigits + kDigits + kDigits + kDigits,
                  "57edf4a22be3c955ac49da2e2107b67a"},
        DigestRow{"HmacShortKey", true, std::string(16, '\x0b'), "Hi There",
                  "9294727a3638bb1c13f48ef8158bfc9d"},
        DigestRow{"HmacJefe", true, "Jefe", "what do ya want for nothing?",
                  "750c783e6ab0b503eaa86e310a5db738"},
        DigestRow{"HmacBinaryData", true, std::string(16, '\xaa'), std::string(50, '\xdd'),
                  "56be34521d144c88dbb8c733f0e8b3f6"},
        DigestRow{"Hmac25ByteKey", true, Key25(), std::string(50, '\xcd'),
                  "697eaf0aca3a3aea3a75164746ffaa79"},
        DigestRow{"HmacTruncationVector", true, std::string(16, '\x0c'), "Test With Truncation",
                  "56461ef2342edc00f9bab995690efd4c"},
        DigestRow{"HmacKeyLongerThanABlock", true, std::string(80, '\xaa'),
                  "Test Using Larger Than Block-Size Key - Hash Key First",
                  "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
        DigestRow{"HmacLongKeyAndLongData", true, std::string(80, '\xaa'),
                  "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
                  "6f630fad67cda0ee1fb1f562db3aa53e"}),
    [](const ::testing::TestParamInfo<DigestRow>& paramInfo) { return paramInfo.param.pszName; });
