// encoders.cpp - throughput of the wire encoders: SjisToJis beside glibc iconv converting the same
// text from CP932 to ISO-2022-JP, and base64 beside a straightforward reference encoder.
#include "mail/MailEncoders.h"
#include "mail/MailSender.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iconv.h>
#include <string>
#include <vector>

namespace
{
constexpr std::size_t kTextBytes = 1 << 20;
constexpr int kChunkCapacity = 1024; // as the text part converts

// A realistic business mail: kanji, kana, ASCII words and digits, full-width punctuation, CR LF.
const std::string& JapaneseText()
{
    static const std::string strText = [] {
        const std::string strParagraph =
            "株式会社サンプル 営業部 山田様\r\n\r\n"
            "いつもお世話になっております。Tarvell開発チームの鈴木です。\r\n"
            "先日ご依頼いただきました見積書（第2版）を添付いたします。\r\n"
            "納期は2004年7月5日を予定しております。ご不明な点がございましたら、"
            "お気軽にお問い合わせください。\r\n"
            "なお、会議は14時30分から本社3階の会議室Aで行います。\r\n"
            "よろしくお願いいたします。\r\n\r\n";
        std::string strAll;
        while (strAll.size() < kTextBytes)
            strAll += strParagraph;
        return strAll;
    }();
    return strText;
}

void BM_SjisToJis(benchmark::State& state)
{
    const std::string& strText = JapaneseText();
    char szChunk[kChunkCapacity];
    for (auto _ : state)
    {
        const char* p = strText.c_str();
        std::size_t nOut = 0;
        while (*p != '\0')
        {
            const int n = SjisToJis(p, szChunk, kChunkCapacity);
            if (n <= 0)
                break;
            p += n;
            nOut += static_cast<unsigned char>(szChunk[0]);
        }
        benchmark::DoNotOptimize(nOut);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(strText.size()));
}
BENCHMARK(BM_SjisToJis);

void BM_IconvCp932ToIso2022Jp(benchmark::State& state)
{
    const std::string& strText = JapaneseText();
    const iconv_t cd = ::iconv_open("ISO-2022-JP", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
    {
        state.SkipWithError("iconv cannot convert CP932 to ISO-2022-JP");
        return;
    }
    std::vector<char> out(strText.size() * 2 + 16);
    for (auto _ : state)
    {
        char* pIn = const_cast<char*>(strText.data());
        std::size_t nIn = strText.size();
        char* pOut = out.data();
        std::size_t nOut = out.size();
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (::iconv(cd, &pIn, &nIn, &pOut, &nOut) == static_cast<std::size_t>(-1) || nIn != 0)
        {
            state.SkipWithError("iconv stopped inside the text");
            break;
        }
        ::iconv(cd, nullptr, nullptr, &pOut, &nOut);
        benchmark::DoNotOptimize(out.data());
    }
    ::iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(strText.size()));
}
BENCHMARK(BM_IconvCp932ToIso2022Jp);

const std::vector<unsigned char>& RandomBytes()
{
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> v(kTextBytes);
        unsigned x = 2463534242u;
        for (unsigned char& c : v)
        {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<unsigned char>(x);
        }
        return v;
    }();
    return bytes;
}

// The attachment's shape: 57 input bytes per call.
void BM_EncodeBase64Bytes(benchmark::State& state)
{
    const std::vector<unsigned char>& bytes = RandomBytes();
    char szLine[100];
    for (auto _ : state)
    {
        for (std::size_t i = 0; i + 57 <= bytes.size(); i += 57)
            EncodeBase64Bytes(57, bytes.data() + i, szLine);
        benchmark::DoNotOptimize(szLine);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytes.size() / 57 * 57));
}
BENCHMARK(BM_EncodeBase64Bytes);

// A straightforward reference: six bits at a time from a bit accumulator.
void ReferenceBase64(const unsigned char* p, std::size_t n, char* pszOut)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    unsigned nBits = 0;
    unsigned nAcc = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        nAcc = (nAcc << 8) | p[i];
        nBits += 8;
        while (nBits >= 6)
        {
            nBits -= 6;
            *pszOut++ = kAlphabet[(nAcc >> nBits) & 0x3F];
        }
    }
    if (nBits > 0)
        *pszOut++ = kAlphabet[(nAcc << (6 - nBits)) & 0x3F];
    while ((n % 3) != 0 && ((n++ % 3) != 0))
        *pszOut++ = '=';
    *pszOut = '\0';
}

void BM_ReferenceBase64(benchmark::State& state)
{
    const std::vector<unsigned char>& bytes = RandomBytes();
    char szLine[100];
    for (auto _ : state)
    {
        for (std::size_t i = 0; i + 57 <= bytes.size(); i += 57)
            ReferenceBase64(bytes.data() + i, 57, szLine);
        benchmark::DoNotOptimize(szLine);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytes.size() / 57 * 57));
}
BENCHMARK(BM_ReferenceBase64);

// A 4 MB body that is nothing but "%NAME様、" filled in with a six-character name: the cost of a
// placeholder-dense body must stay linear in its size.
void BM_FillPlaceholdersDense(benchmark::State& state)
{
    constexpr std::size_t kBodyBytes = 4 << 20;
    const std::string strUnit = "%NAME様、";
    std::string strBody;
    strBody.reserve(kBodyBytes + strUnit.size());
    while (strBody.size() < kBodyBytes)
        strBody += strUnit;
    SendRequest request;
    const std::string strName = "山田太郎様";
    strName.copy(request.szName, sizeof request.szName - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(CMailSender::FillPlaceholders(strBody, request, 1088985600));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(strBody.size()));
}
BENCHMARK(BM_FillPlaceholdersDense)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
