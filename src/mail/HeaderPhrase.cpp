// HeaderPhrase.cpp - encoded-words, phrases and folding of header lines.
#include "mail/HeaderPhrase.h"

#include "app/Sjis.h"
#include "mail/MailEncoders.h"
#include "mail/WireCharacters.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr std::string_view kJisPrefix = "=?ISO-2022-JP?B?";
constexpr std::string_view kUtf8Prefix = "=?UTF-8?B?";
constexpr std::string_view kSuffix = "?=";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::size_t WireCharLength(std::string_view text, std::size_t nAt, MailCharset charset)
{
    const auto c = static_cast<unsigned char>(text[nAt]);
    std::size_t n = 1;
    if (charset == MailCharset::iso2022jp)
        n = IsLeadByte(c) ? 2 : 1;
    else if (c >= 0xF0)
        n = 4;
    else if (c >= 0xE0)
        n = 3;
    else if (c >= 0xC0)
        n = 2;
    return std::min(n, text.size() - nAt);
}

namespace
{

std::string Jis(std::string_view sjis)
{
    const std::string strIn(sjis);
    std::vector<char> out(strIn.size() * 4 + 16);
    SjisToJis(strIn.c_str(), out.data(), static_cast<int>(out.size()));
    return out.data();
}

// The encoded bytes of a run: ISO-2022-JP from CP932, or the UTF-8 as it is.
std::string WordBytes(std::string_view wireText, MailCharset charset)
{
    return charset == MailCharset::iso2022jp ? Jis(wireText) : std::string(wireText);
}

std::string_view Prefix(MailCharset charset)
{
    return charset == MailCharset::iso2022jp ? kJisPrefix : kUtf8Prefix;
}

std::size_t WordLength(std::size_t nBytes, MailCharset charset)
{
    return Prefix(charset).size() + (nBytes + 2) / 3 * 4 + kSuffix.size();
}

std::string MakeWord(const std::string& strBytes, MailCharset charset)
{
    std::vector<char> base64(strBytes.size() / 3 * 4 + 8);
    EncodeBase64Bytes(static_cast<int>(strBytes.size()),
                      reinterpret_cast<const unsigned char*>(strBytes.data()), base64.data());
    return std::string(Prefix(charset)) + base64.data() + std::string(kSuffix);
}

// A header line under construction: tokens, each after its white space, with a fold (CR LF
// before the white space) where the next token would pass the fold column.
class CFoldedLine
{
  public:
    explicit CFoldedLine(std::string_view name) : m_strLine(name)
    {
        m_strLine += ':';
        m_nColumn = m_strLine.size();
    }

    // Characters left on the current line for a token after ws.
    std::size_t Room(std::string_view ws) const
    {
        const std::size_t nUsed = m_nColumn + ws.size();
        return nUsed < kFoldColumn ? kFoldColumn - nUsed : 0;
    }
    // Whether a token after ws may start a new line (never the first one after the name).
    bool CanFold(std::string_view ws) const { return m_bToken && !ws.empty(); }

    void Add(std::string_view ws, std::string_view token)
    {
        if (CanFold(ws) && ws.size() + token.size() > Room({}))
        {
            m_strLine += "\r\n";
            m_nColumn = 0;
        }
        m_strLine.append(ws).append(token);
        m_nColumn += ws.size() + token.size();
        m_bToken = true;
    }

    // A run of wire text as encoded-words, the first after ws, the others after one blank.
    // bFewest: every word as long as allowed, even where the first then passes the fold column.
    void AddEncoded(std::string_view ws, std::string_view wireText, MailCharset charset,
                    bool bFewest = false)
    {
        std::size_t nAt = 0;
        std::string_view sep = ws;
        while (nAt < wireText.size())
        {
            const std::string_view rest = wireText.substr(nAt);
            std::size_t nRoom = bFewest ? kMaxEncodedWord : std::min(Room(sep), kMaxEncodedWord);
            std::size_t nConsumed = 0;
            std::string strWord = NextEncodedWord(rest, charset, nRoom, nConsumed);
            if (strWord.size() > nRoom && CanFold(sep))
            {
                // Not one character fits here: the word starts the next line, as long as it
                // may be.
                nRoom = std::min(kFoldColumn - sep.size(), kMaxEncodedWord);
                strWord = NextEncodedWord(rest, charset, nRoom, nConsumed);
            }
            Add(sep, strWord);
            nAt += nConsumed;
            sep = " ";
        }
    }

    // White space with nothing after it (the end of a value).
    void AddTrailing(std::string_view ws)
    {
        m_strLine.append(ws);
        m_nColumn += ws.size();
    }

    std::string Finish() const { return m_strLine + "\r\n"; }

  private:
    std::string m_strLine;
    std::size_t m_nColumn = 0;
    bool m_bToken = false;
};

// Calls onWord(ws, word) for every word of text with the white space before it; white space at
// the end comes as a last call with an empty word.
template <typename F> void ForEachWord(std::string_view text, F onWord)
{
    std::size_t nAt = 0;
    while (nAt < text.size())
    {
        std::size_t nWord = nAt;
        while (nWord < text.size() && IsBlank(text[nWord]))
            ++nWord;
        std::size_t nEnd = nWord;
        while (nEnd < text.size() && !IsBlank(text[nEnd]))
            ++nEnd;
        onWord(text.substr(nAt, nWord - nAt), text.substr(nWord, nEnd - nWord));
        nAt = nEnd;
    }
}

bool NeedsEncoding(std::string_view word)
{
    return std::any_of(word.begin(), word.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) ||
           word.find("=?") != std::string_view::npos;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Letters, digits, blanks and the atext symbols of RFC 5322 section 3.2.3, and nothing that looks
// like an encoded-word.
bool IsAtomsPhrase(std::string_view text)
{
    constexpr std::string_view kSymbols = "!#$%&'*+-/=?^_`{|}~";
    return text.find("=?") == std::string_view::npos &&
           std::all_of(text.begin(), text.end(), [&](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      IsBlank(c) || kSymbols.find(c) != std::string_view::npos;
           });
}

std::string QuotedString(std::string_view text)
{
    std::string strOut = "\"";
    for (const char c : text)
    {
        if (c == '"' || c == '\\')
            strOut += '\\';
        strOut += c;
    }
    return strOut + "\"";
}
} // namespace

std::string HeaderWireText(std::string_view sjis, MailCharset charset)
{
    return charset == MailCharset::iso2022jp ? ReplaceUnsafeChars(sjis) : ToWireUtf8(sjis);
}

std::string NextEncodedWord(std::string_view wireText, MailCharset charset, std::size_t nRoom,
                            std::size_t& nConsumed)
{
    std::size_t nEnd = WireCharLength(wireText, 0, charset);
    while (nEnd < wireText.size())
    {
        const std::size_t nNext = nEnd + WireCharLength(wireText, nEnd, charset);
        if (WordLength(WordBytes(wireText.substr(0, nNext), charset).size(), charset) > nRoom)
            break;
        nEnd = nNext;
    }
    nConsumed = nEnd;
    return MakeWord(WordBytes(wireText.substr(0, nEnd), charset), charset);
}

std::vector<std::string> EncodedWords(std::string_view wireText, MailCharset charset,
                                      std::size_t nFirstRoom, std::size_t nRoom)
{
    std::vector<std::string> words;
    for (std::size_t nAt = 0; nAt < wireText.size();)
    {
        std::size_t nConsumed = 0;
        words.push_back(NextEncodedWord(wireText.substr(nAt), charset,
                                        words.empty() ? nFirstRoom : nRoom, nConsumed));
        nAt += nConsumed;
    }
    return words;
}

std::string UnstructuredHeaderLine(std::string_view name, std::string_view sjisValue,
                                   MailCharset charset)
{
    const std::string strText = HeaderWireText(sjisValue, charset);
    CFoldedLine line(name);
    // Words that need encoding are gathered with the white space between them into one run, so
    // that white space travels inside the encoded-words.
    std::string strRun;
    std::string strRunWs;
    std::string strFirstWs = " ";
    const auto flush = [&] {
        if (!strRun.empty())
            line.AddEncoded(strRunWs, strRun, charset);
        strRun.clear();
    };
    ForEachWord(strText, [&](std::string_view ws, std::string_view word) {
        const std::string strWs = strFirstWs + std::string(ws);
        strFirstWs.clear();
        if (word.empty())
        {
            flush();
            line.AddTrailing(strWs);
        }
        else if (!NeedsEncoding(word))
        {
            flush();
            line.Add(strWs, word);
        }
        else if (strRun.empty())
        {
            strRunWs = strWs;
            strRun = word;
        }
        else
            strRun.append(strWs).append(word);
    });
    flush();
    if (!strFirstWs.empty())
        line.AddTrailing(strFirstWs); // an empty value: "Subject: "
    return line.Finish();
}

std::string AddressHeaderLine(std::string_view name, std::string_view sjisDisplayName,
                              std::string_view address, MailCharset charset)
{
    const std::string strText = HeaderWireText(sjisDisplayName, charset);
    std::string strAddress = "<";
    strAddress.append(address).append(">");
    CFoldedLine line(name);
    if (strText.empty())
        line.AddTrailing(" ");
    else if (!IsAscii(strText))
        line.AddEncoded(" ", strText, charset, true);
    else if (!IsAtomsPhrase(strText))
        line.Add(" ", QuotedString(strText));
    else
    {
        std::string strFirstWs = " ";
        ForEachWord(strText, [&](std::string_view ws, std::string_view word) {
            if (!word.empty())
                line.Add(strFirstWs + std::string(ws), word);
            strFirstWs.clear();
        });
    }
    line.Add(" ", strAddress);
    return line.Finish();
}
