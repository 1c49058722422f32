// GroupResults.h - what a group send did for each entry of its book: the results file a user (or
// a resend) reads afterwards, the summary at the end and the list of members left without the mail.
#pragma once
#include <ctime>
#include <map>
#include <string>
#include <vector>

enum class MemberStatus
{
    Sent,
    Failed,
    Cancelled, // the attempt that was running when the send was stopped
    NotSent,   // never tried: the send was stopped, or ended by a fault that was not the member's
    Skipped,   // an entry that cannot be sent to (no name, no address, a group in a group)
};

// "送信成功", "送信失敗", "中止", "未送信" or "スキップ" (CP932).
const char* MemberStatusText(MemberStatus status);

// The mail a group send sends, as its results file records it (CP932): a resend is the same
// mail only when all three are the same.
struct GroupMail
{
    std::string strTitle, strTextFile, strBinFile;
};

struct MemberResult
{
    int nEntry = 0;                  // the entry's number in the book, 1 to 50
    std::string strName, strAddress; // CP932
    MemberStatus status = MemberStatus::NotSent;
    std::string strReason; // why the member did not get the mail (CP932)
    // The server's reply to the end of the data for a sent mail, else its failing reply.
    std::string strReply;
    std::time_t time = 0;
};

class CGroupResults
{
  public:
    // Kept in the book's order, whatever the order they come in.
    void Add(MemberResult result);
    const std::vector<MemberResult>& Members() const { return m_members; }
    std::size_t Count(MemberStatus status) const;

    // "成功 N 件、失敗 M 件" with "、未送信 K 件" and "、スキップ L 件" where there are some
    // (a cancelled attempt counts as failed).
    std::string SummaryText() const;
    // One line per member that did not get the mail: "No.2 二郎 <jiro@example.jp>: 送信失敗 -
    // reason", at most kMaxListed lines and then how many more.
    std::string ProblemsText() const;

    // Writes log/results/YYYYMMDD_HHMMSS_NAME.tsv below strAppDir (NAME: the book's file name
    // without "@" and ".tvl"): UTF-8, a header row, one row per member with its number, name,
    // address, result, reason, server reply and time, tabs and line breaks in values as blanks.
    // A second file of the same second gets "_2", "_3"... Returns the path; throws CFileException.
    std::string Write(const std::string& strAppDir, const std::string& strBookFile,
                      std::time_t timeStart, const GroupMail& mail) const;

    // The last result of every address (as written, CP932) that the results files of this book
    // hold for this mail, oldest file first so a later result wins. Rows that cannot be read
    // are passed over; no file gives an empty map.
    static std::map<std::string, MemberStatus> LastResults(const std::string& strAppDir,
                                                           const std::string& strBookFile,
                                                           const GroupMail& mail);

    static constexpr std::size_t kMaxListed = 20;

  private:
    std::vector<MemberResult> m_members;
};
