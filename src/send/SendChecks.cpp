// SendChecks.cpp - the checks before sending: the questions of a send command before its first
// connection, and the checks of each attempt before its send operation.
#include "send/SendChecks.h"

#include "app/FileSystem.h"
#include "app/MailAddress.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "mail/MessageComposer.h"
#include "mail/WireCharacters.h"

#include <algorithm>
#include <cstdio>

namespace
{
// How many characters a question lists.
constexpr std::size_t MAX_LISTED = 10;

// The body file's text, or nothing when it cannot be read now (the attempt then reports it).
std::shared_ptr<const std::string> BodyTextIfReadable(const std::string& strPath)
{
    const std::int64_t nSize = GetFileSizeOrZero(strPath);
    if (nSize <= 0 || nSize > MAX_BODY_FILE_SIZE)
        return nullptr;
    try
    {
        return std::make_shared<const std::string>(ReadBodyText(strPath));
    }
    catch (const CFileException&)
    {
        return nullptr;
    }
}

// "U+1F600" for a UTF-8 character, which CP932 text cannot show.
std::string CodePointText(const std::string& strUtf8)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(strUtf8[i]); };
    unsigned long nCode = byte(0);
    if (strUtf8.size() == 2)
        nCode = ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    else if (strUtf8.size() == 3)
        nCode = ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    else if (strUtf8.size() == 4)
        nCode = ((byte(0) & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
                (byte(3) & 0x3Fu);
    char szCode[16];
    std::snprintf(szCode, sizeof(szCode), "U+%04lX", nCode);
    return szCode;
}

// The found characters with where they stand, each pair once, in order.
class CFoundList
{
  public:
    void Add(std::string_view text, const std::string& strWhere, bool bLines)
    {
        for (const UnsafeChar& found : FindUnsafeChars(text))
        {
            std::string strEntry = "「";
            strEntry.append(found.strChar).append("」 ").append(strWhere);
            if (bLines)
            {
                strEntry += ' ';
                strEntry += std::to_string(found.nLine);
                strEntry += "行目";
            }
            if (std::find(m_entries.begin(), m_entries.end(), strEntry) == m_entries.end())
                m_entries.push_back(std::move(strEntry));
        }
    }
    bool Empty() const { return m_entries.empty(); }
    std::string Listing() const
    {
        std::string strText;
        for (std::size_t i = 0; i < m_entries.size() && i < MAX_LISTED; ++i)
            strText += m_entries[i] + "\n";
        if (m_entries.size() > MAX_LISTED)
            strText += "ほか " + std::to_string(m_entries.size() - MAX_LISTED) + " 件\n";
        return strText;
    }

  private:
    std::vector<std::string> m_entries;
};
} // namespace

bool CheckBeforeSending(IPlatform& platform, std::vector<PlannedAttempt>& attempts,
                        SenderInf& sender, SendAnswers& answers)
{
    answers.pBodyText = BodyTextIfReadable(FieldText(attempts.front().request.szTextFile));
    const bool bHaveBody = answers.pBodyText != nullptr;
    const std::string* pBody = answers.pBodyText.get();
    std::string strFromUtf8; // the body as Shift_JIS, when the file holds UTF-8

    // A body that is not Shift_JIS but UTF-8 (the norm of today's editors) would go out as
    // mojibake; one that is neither is sent as it is.
    std::string strUnused;
    if (bHaveBody && !SjisToUtf8(*pBody, strUnused) && IsValidUtf8(*pBody))
    {
        std::vector<std::string> lost;
        strFromUtf8 = Utf8ToSjisReplacing(*pBody, &lost);
        pBody = &strFromUtf8;
        // Under UTF-8 the mail keeps every character; only the keep copy is Shift_JIS.
        std::string strText = "本文ファイルは Shift_JIS ではなく UTF-8 で書かれています。\n";
        strText += answers.bSendUtf8 ? "UTF-8 のまま送信します (ファイルは変わりません)。"
                                     : "Shift_JIS に変換して送信します (ファイルは変わりません)。";
        if (!lost.empty())
        {
            strText += answers.bSendUtf8 ? "\n控えでは Shift_JIS にない文字は〓になります:"
                                         : "\nShift_JIS にない文字は〓になります:";
            for (std::size_t i = 0; i < lost.size() && i < MAX_LISTED; ++i)
                strText.append(" ").append(CodePointText(lost[i]));
            if (lost.size() > MAX_LISTED)
                strText += " ほか " + std::to_string(lost.size() - MAX_LISTED) + " 文字";
        }
        if (platform.AskQuestion(strText, {"変換して送信", "中止"}) != 0)
            return false;
        answers.bBodyFromUtf8 = true;
    }

    if (answers.bSendUtf8)
        return true; // UTF-8 carries every character
    CFoundList found;
    found.Add(FieldText(sender.szName), "発送元名", false);
    found.Add(FieldText(attempts.front().request.szTitle), "タイトル", false);
    const std::time_t timeNow = platform.Now();
    for (const PlannedAttempt& attempt : attempts)
    {
        found.Add(FieldText(attempt.request.szName), "宛先名", false);
        if (bHaveBody)
            found.Add(CMailSender::FillPlaceholders(*pBody, attempt.request, timeNow), "本文",
                      true);
    }
    if (found.Empty())
        return true;
    const std::string strText =
        "ISO-2022-JP では正しく送れない文字があります。\n" + found.Listing() +
        "置き換えて送信: 半角カナは全角に、機種依存文字は近い文字 (① は (1)) に、"
        "ほかは〓にします。\n"
        "UTF-8で送信: 文字を変えずに UTF-8 で送ります。";
    const std::size_t nAnswer =
        platform.AskQuestion(strText, {"置き換えて送信", "UTF-8で送信", "中止"});
    if (nAnswer == 2)
        return false;
    if (nAnswer == 1)
        answers.bSendUtf8 = true;
    if (nAnswer == 0)
    {
        answers.bReplaceUnsafe = true;
        SetField(sender.szName, ReplaceUnsafeChars(FieldText(sender.szName)));
        for (PlannedAttempt& attempt : attempts)
        {
            SetField(attempt.request.szName, ReplaceUnsafeChars(FieldText(attempt.request.szName)));
            SetField(attempt.request.szTitle,
                     ReplaceUnsafeChars(FieldText(attempt.request.szTitle)));
        }
    }
    return true;
}

AttemptCheck CheckAttempt(const SenderInf& sender, const SendRequest& request,
                          const char* pszRefusal)
{
    AttemptCheck check;
    if (request.szAddress[0] == '\0' || request.szName[0] == '\0' || request.szTitle[0] == '\0' ||
        request.szTextFile[0] == '\0')
        check.strDetail = "必須の項目が空です"; // the reason stays empty
    else if (pszRefusal != nullptr)
        check.strReason = pszRefusal;
    else if (HasLineBreak(FieldText(request.szName)) ||
             HasLineBreak(FieldText(request.szAddress)) || HasLineBreak(FieldText(request.szTitle)))
        check.strReason = kLineBreakReason; // it would break the header lines or the envelope
    else if (const std::int64_t nBodySize = GetFileSizeOrZero(FieldText(request.szTextFile));
             nBodySize <= 0)
        check.strReason = "送信テキストファイルが見つかりません";
    else if (nBodySize > MAX_BODY_FILE_SIZE)
        check.strReason = "送信テキストファイルが大きすぎます";
    if (!check.Passed())
        return check;
    // Last of the checks, so the older ones keep their order: an address that is not local@domain
    // never reaches the envelope.
    check.bNamed = true;
    if (request.szBinFile[0] != '\0' && GetFileSizeOrZero(FieldText(request.szBinFile)) <= 0)
        check.strReason = "添付ファイルが見つかりません";
    else if (!IsMailAddress(FieldText(request.szAddress)))
        check.strReason = "宛先アドレスが正しくありません";
    else if (sender.szMailAddress[0] == '\0')
        check.strReason = kNoSenderReason;
    else if (!IsMailAddress(FieldText(sender.szMailAddress)))
        check.strReason = "発送元アドレスが正しくありません";
    return check;
}
