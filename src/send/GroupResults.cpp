// GroupResults.cpp - the results of a group send: summary, problem list and results file.
#include "send/GroupResults.h"

#include "app/AppFiles.h"
#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/TextCodec.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace
{
// The pieces one after the other (appending, which GCC 12 does not mistake for overlapping
// copies as it does with chains of operator+).
std::string Join(std::initializer_list<std::string_view> pieces)
{
    std::string strText;
    for (std::string_view piece : pieces)
        strText.append(piece);
    return strText;
}

// A value as one TSV cell: tabs and line breaks become blanks.
std::string Cell(std::string strValue)
{
    std::replace_if(
        strValue.begin(), strValue.end(),
        [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return strValue;
}

// "友人" for "@友人.tvl".
std::string BookTitle(const std::string& strBookFile)
{
    std::string strTitle = strBookFile;
    if (!strTitle.empty() && strTitle[0] == '@')
        strTitle.erase(0, 1);
    const std::string strExtension = ".tvl";
    if (strTitle.size() >= strExtension.size() &&
        strTitle.compare(strTitle.size() - strExtension.size(), strExtension.size(),
                         strExtension) == 0)
        strTitle.resize(strTitle.size() - strExtension.size());
    return strTitle;
}
} // namespace

const char* MemberStatusText(MemberStatus status)
{
    switch (status)
    {
    case MemberStatus::Sent:
        return "送信成功";
    case MemberStatus::Failed:
        return "送信失敗";
    case MemberStatus::Cancelled:
        return "中止";
    case MemberStatus::NotSent:
        return "未送信";
    case MemberStatus::Skipped:
        break;
    }
    return "スキップ";
}

void CGroupResults::Add(MemberResult result)
{
    const auto at = std::upper_bound(
        m_members.begin(), m_members.end(), result.nEntry,
        [](int nEntry, const MemberResult& member) { return nEntry < member.nEntry; });
    m_members.insert(at, std::move(result));
}

std::size_t CGroupResults::Count(MemberStatus status) const
{
    return static_cast<std::size_t>(
        std::count_if(m_members.begin(), m_members.end(),
                      [status](const MemberResult& member) { return member.status == status; }));
}

std::string CGroupResults::SummaryText() const
{
    std::string strText =
        "成功 " + std::to_string(Count(MemberStatus::Sent)) + " 件、失敗 " +
        std::to_string(Count(MemberStatus::Failed) + Count(MemberStatus::Cancelled)) + " 件";
    if (const std::size_t nNotSent = Count(MemberStatus::NotSent); nNotSent > 0)
        strText += "、未送信 " + std::to_string(nNotSent) + " 件";
    if (const std::size_t nSkipped = Count(MemberStatus::Skipped); nSkipped > 0)
        strText += "、スキップ " + std::to_string(nSkipped) + " 件";
    return strText;
}

std::string CGroupResults::ProblemsText() const
{
    std::string strText;
    std::size_t nListed = 0;
    std::size_t nMore = 0;
    for (const MemberResult& member : m_members)
    {
        if (member.status == MemberStatus::Sent)
            continue;
        if (nListed == kMaxListed)
        {
            ++nMore;
            continue;
        }
        strText.append("No.")
            .append(std::to_string(member.nEntry))
            .append(" ")
            .append(member.strName)
            .append(" <")
            .append(member.strAddress)
            .append(">: ")
            .append(MemberStatusText(member.status));
        if (!member.strReason.empty())
            strText.append(" - ").append(member.strReason);
        strText.append("\n");
        ++nListed;
    }
    if (nMore > 0)
        strText.append("ほか ").append(std::to_string(nMore)).append(" 件\n");
    return strText;
}

std::string CGroupResults::Write(const std::string& strAppDir, const std::string& strBookFile,
                                 std::time_t timeStart, const GroupMail& mail) const
{
    const std::string strFolder = strAppDir + kResultsFolder;
    if (!PathEntryExists(strFolder))
        CreateFolder(strFolder, 0700); // a failure shows in the write below
    std::string strText =
        "No\t名前\tアドレス\t結果\t理由\tサーバの応答\t時刻\t件名\t本文ファイル\t添付ファイル\r\n";
    const std::string strMail = Join({"\t", Cell(mail.strTitle), "\t", Cell(mail.strTextFile), "\t",
                                      Cell(mail.strBinFile), "\r\n"});
    for (const MemberResult& member : m_members)
        strText.append(std::to_string(member.nEntry))
            .append("\t")
            .append(Cell(member.strName))
            .append("\t")
            .append(Cell(member.strAddress))
            .append("\t")
            .append(MemberStatusText(member.status))
            .append("\t")
            .append(Cell(member.strReason))
            .append("\t")
            .append(Cell(member.strReply))
            .append("\t")
            .append(member.time != 0 ? FormatLocalTime(member.time, "%Y-%m-%d %H:%M:%S") : "")
            .append(strMail);
    const std::string strUtf8 = SjisToUtf8Lossy(strText);
    const std::string strStem =
        strFolder + FormatLocalTime(timeStart, "%Y%m%d_%H%M%S_") + BookTitle(strBookFile);
    std::string strPath = strStem + ".tsv";
    for (int n = 2; PathEntryExists(strPath); ++n)
        strPath = strStem + "_" + std::to_string(n) + ".tsv";
    // One write into a new owner-only file: the results hold the members' addresses.
    AppendToFile(strPath, strUtf8.data(), strUtf8.size());
    return strPath;
}

std::map<std::string, MemberStatus> CGroupResults::LastResults(const std::string& strAppDir,
                                                               const std::string& strBookFile,
                                                               const GroupMail& mail)
{
    constexpr std::size_t kMaxResultsFile = 1 << 20; // 50 rows take a few kilobytes
    constexpr std::size_t kStampBytes = 16;          // "YYYYMMDD_HHMMSS_"
    const std::string strFolder = strAppDir + kResultsFolder;
    const std::string strTitle = BookTitle(strBookFile);
    const std::string strWanted =
        Join({Cell(mail.strTitle), "\t", Cell(mail.strTextFile), "\t", Cell(mail.strBinFile)});
    std::map<std::string, MemberStatus> last;
    // The names begin with the time, so their order is the order of the sends.
    for (const std::string& strName : ListFolder(strFolder))
    {
        const std::string strRest = strName.size() > kStampBytes ? strName.substr(kStampBytes) : "";
        if (strRest != Join({strTitle, ".tsv"}) && strRest.rfind(Join({strTitle, "_"}), 0) != 0)
            continue;
        std::string strText;
        try
        {
            strText =
                Utf8ToSjisReplacing(ReadWholeFile(strFolder + strName, kMaxResultsFile), nullptr);
        }
        catch (const CFileException&)
        {
            continue; // an unreadable file tells nothing
        }
        std::size_t nAt = strText.find('\n'); // past the header row
        while (nAt != std::string::npos && nAt + 1 < strText.size())
        {
            const std::size_t nEnd = strText.find('\n', nAt + 1);
            std::string strLine = strText.substr(
                nAt + 1, nEnd == std::string::npos ? std::string::npos : nEnd - nAt - 1);
            nAt = nEnd;
            if (!strLine.empty() && strLine.back() == '\r')
                strLine.pop_back();
            std::vector<std::string> cells;
            for (std::size_t nCell = 0; nCell != std::string::npos;)
            {
                const std::size_t nTab = strLine.find('\t', nCell);
                cells.push_back(
                    strLine.substr(nCell, nTab == std::string::npos ? nTab : nTab - nCell));
                nCell = nTab == std::string::npos ? nTab : nTab + 1;
            }
            if (cells.size() != 10 || Join({cells[7], "\t", cells[8], "\t", cells[9]}) != strWanted)
                continue;
            for (MemberStatus status :
                 {MemberStatus::Sent, MemberStatus::Failed, MemberStatus::Cancelled,
                  MemberStatus::NotSent, MemberStatus::Skipped})
                if (cells[3] == MemberStatusText(status))
                    last[cells[2]] = status;
        }
    }
    return last;
}
