// SendInteropTest.cpp - group sends through real servers: private Postfix (SMTP) and Dovecot (POP3)
// on loopback, started and stopped by scripts/mailservers. Every delivered message is decoded with
// Python's standard email package. Skipped with the reason when the servers cannot run here.
#include "SendFixture.h"

#include "support/RealMailServers.h"
#include "addr/AddressBook.h"
#include "support/ProgramRun.h"

#include <set>
#include <unistd.h>

namespace
{
constexpr int MEMBERS = 50;

// Prints "To address<TAB>To name<TAB>Subject<TAB>first body line" for every delivered message.
const char* const DECODE_OUTBOX = R"PY(
import email, email.policy, glob, sys
for path in sorted(glob.glob(sys.argv[1] + "/msg.*.eml")):
    with open(path, "rb") as f:
        msg = email.message_from_bytes(f.read(), policy=email.policy.default)
    to = msg["To"].addresses[0]
    body = msg.get_body(preferencelist=("plain",)).get_content()
    print("\t".join([to.addr_spec, to.display_name, str(msg["Subject"]), body.splitlines()[0]]))
)PY";

std::string TwoDigits(int n)
{
    char sz[8];
    std::snprintf(sz, sizeof(sz), "%02d", n);
    return sz;
}

std::size_t CountOf(const std::string& text, const std::string& strPiece)
{
    std::size_t nCount = 0;
    for (std::size_t n = text.find(strPiece); n != std::string::npos;
         n = text.find(strPiece, n + 1))
        ++nCount;
    return nCount;
}

std::string Utf8(const char8_t* psz)
{
    return reinterpret_cast<const char*>(psz);
}

// The rows of a results file below its header row, each split at its tabs.
std::vector<std::vector<std::string>> ResultRows(const std::string& strTsv)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(strTsv);
    std::string strLine;
    std::getline(lines, strLine);
    while (std::getline(lines, strLine))
    {
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        std::vector<std::string>& row = rows.emplace_back();
        std::istringstream cells(strLine);
        for (std::string strCell; std::getline(cells, strCell, '\t');)
            row.push_back(strCell);
        row.resize(10);
    }
    return rows;
}

// Postfix delivers in the background: waits until it has logged nCount deliveries in all.
bool WaitForDeliveries(const CRealServers& servers, std::size_t nCount)
{
    for (int nWait = 0; nWait < 150; ++nWait)
    {
        if (CountOf(servers.PostfixLog(), "status=sent") >= nCount)
            return true;
        ::usleep(200 * 1000);
    }
    return false;
}
} // namespace

using SendInterop = SendFixture;

TEST_F(SendInterop, FiftyMemberGroupThroughPostfixAndDovecot)
{
    CRealServers servers;
    std::string strReason;
    if (!servers.Start(strReason))
        GTEST_SKIP() << "real mail servers cannot run here: " << strReason;

    AddressBook book;
    for (int i = 0; i < MEMBERS; ++i)
    {
        SetField(book.entries[i].szName, "会員" + TwoDigits(i + 1));
        SetField(book.entries[i].szAddress, "member" + TwoDigits(i + 1) + "@example.jp");
    }
    SaveBook(m_strAppDir + "@会員.tvl", book);
    Write("body.txt", "%NAME様\r\n今月のご案内です。\r\n");
    SenderInf& sender = m_pDoc->m_sender;
    SetField(sender.szName, "山田太郎");
    SetField(sender.szMailAddress, "taro@example.jp");
    servers.SetServers(sender);
    FillForm("", "@会員.tvl", "今月のご案内", m_strAppDir + "body.txt");

    m_pForm->OnSend();

    EXPECT_EQ(m_pForm->Tally().nFailed, 0);
    EXPECT_EQ(m_pForm->Status(), "会員50 添付ファイルなし送信開始-送信成功");
    EXPECT_EQ(CountOf(Read("log/Tarvell_200407.txt"), "☆ [送信成功]  "), 50u);
    const std::vector<std::string> keep = Files("keep");
    ASSERT_EQ(keep.size(), 50u);
    for (int i = 0; i < MEMBERS; ++i)
        EXPECT_EQ(keep[i], std::string(DEFAULT_STAMP) + "(" + TwoDigits(i + 1) + ")_会員" +
                               TwoDigits(i + 1) + ".txt");

    // Postfix delivers in the background: wait for all 50 messages and their log lines.
    std::string strDecoded, strLog;
    for (int nWait = 0; nWait < 300; ++nWait)
    {
        RunShell("python3 -c '" + std::string(DECODE_OUTBOX) + "' " + servers.Env("OUTBOX"),
                 strDecoded);
        std::ifstream log(servers.Work() + "/pf/postfix.log");
        strLog.assign(std::istreambuf_iterator<char>(log), {});
        if (CountOf(strDecoded, "\n") >= 50 && CountOf(strLog, "status=sent") >= 50)
            break;
        ::usleep(200 * 1000);
    }
    std::set<std::string> lines;
    std::istringstream decoded(strDecoded);
    for (std::string strLine; std::getline(decoded, strLine);)
        lines.insert(strLine);
    ASSERT_EQ(lines.size(), 50u) << strDecoded;
    for (int i = 0; i < MEMBERS; ++i)
    {
        const std::string strAddress = "member" + TwoDigits(i + 1) + "@example.jp";
        const std::string strName =
            "\xe4\xbc\x9a\xe5\x93\xa1" + TwoDigits(i + 1); // 会員NN in UTF-8
        EXPECT_EQ(lines.count(
                      strAddress + "\t" + strName + "\t" +
                      "\xe4\xbb\x8a\xe6\x9c\x88\xe3\x81\xae\xe3\x81\x94\xe6\xa1\x88\xe5\x86\x85\t" +
                      strName + "\xe6\xa7\x98"),
                  1u)
            << strAddress;
        // The envelope: Postfix logs the RCPT TO address of every delivery.
        EXPECT_NE(strLog.find("to=<" + strAddress + ">"), std::string::npos) << strAddress;
    }
}

// The real program, headless, sends a five-member group through Postfix, which refuses one member
// for good and another once (as greylisting does): the second is sent on its retry, the run ends
// with 1, and once the refusal is lifted a resend reaches only the refused member.
TEST_F(SendInterop, ResendThroughPostfixReachesOnlyTheRefusedMember)
{
    CRealServers servers;
    std::string strReason;
    if (!servers.Start(strReason, false, true))
        GTEST_SKIP() << "real mail servers cannot run here: " << strReason;
    ASSERT_TRUE(servers.SetRecipientAccess("m2@example.jp REJECT no such member\n"));
    servers.DeferOnce("m4@example.jp");

    AddressBook book;
    for (int i = 0; i < 5; ++i)
    {
        SetField(book.entries[i].szName, "会員" + TwoDigits(i + 1));
        SetField(book.entries[i].szAddress, "m" + std::to_string(i + 1) + "@example.jp");
    }
    SaveBook(m_strAppDir + "@会員.tvl", book);
    Write("body.txt", "%NAME様\r\n今月のご案内です。\r\n");
    SetField(m_pDoc->m_sender.szName, "山田太郎");
    SetField(m_pDoc->m_sender.szMailAddress, "taro@example.jp");
    servers.SetServers(m_pDoc->m_sender);
    m_pDoc->SaveRecords();
    Write("inf.txt", "Name=会員\nAddress=@会員.tvl\nTitle=今月のご案内\nTextFile=" + m_strAppDir +
                         "body.txt\n");
    std::vector<std::string> args{"/sendon", "/quit", "/sendinf=" + m_strAppDir + "inf.txt"};

    const ProgramResult first = RunProgram(m_strAppDir, args, {}, 90);
    EXPECT_TRUE(first.bExited) << first.strErr;
    EXPECT_EQ(first.nExitCode, 1) << first.strErr;
    EXPECT_NE(first.strErr.find(Utf8(u8"Tarvell: 集計: 成功 4 件、失敗 1 件\n")), std::string::npos)
        << first.strErr;
    std::vector<std::string> files = Files("log/results");
    ASSERT_EQ(files.size(), 1u);
    const auto rows = ResultRows(Read("log/results/" + files[0]));
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][3], Utf8(i == 1 ? u8"送信失敗" : u8"送信成功")) << rows[i][2];
    EXPECT_NE(
        rows[1][5].find("554 5.7.1 <m2@example.jp>: Recipient address rejected: no such member"),
        std::string::npos)
        << rows[1][5];
    ASSERT_TRUE(WaitForDeliveries(servers, 4)) << servers.PostfixLog();
    EXPECT_EQ(CountOf(servers.PostfixLog(), "451 4.7.1 <m4@example.jp>"), 1u);
    servers.ClearOutbox();

    ASSERT_TRUE(servers.SetRecipientAccess(""));
    args.insert(args.begin(), "/resend");
    const ProgramResult second = RunProgram(m_strAppDir, args, {}, 60);
    EXPECT_TRUE(second.bExited) << second.strErr;
    EXPECT_EQ(second.nExitCode, 0) << second.strErr;
    EXPECT_NE(second.strErr.find(Utf8(u8"Tarvell: 集計: 成功 1 件、失敗 0 件\n")),
              std::string::npos)
        << second.strErr;
    EXPECT_EQ(Files("log/results").size(), 2u);

    // Postfix logs "client=" for every message it takes, before its delivery.
    ASSERT_TRUE(WaitForDeliveries(servers, 5)) << servers.PostfixLog();
    EXPECT_EQ(CountOf(servers.PostfixLog(), ": client="), 5u) << servers.PostfixLog();
    std::string strDecoded;
    RunShell("python3 -c '" + std::string(DECODE_OUTBOX) + "' " + servers.Env("OUTBOX"),
             strDecoded);
    EXPECT_EQ(CountOf(strDecoded, "\n"), 1u) << strDecoded;
    EXPECT_EQ(strDecoded.rfind("m2@example.jp\t", 0), 0u) << strDecoded;
}

// The characters the wire cannot carry, replaced on request, arrive as their replacements.
using SendChecksInterop = SendFixture;

TEST_F(SendChecksInterop, ReplacedTextArrivesIntactThroughPostfix)
{
    CRealServers servers;
    std::string strReason;
    if (!servers.Start(strReason))
        GTEST_SKIP() << "real mail servers cannot run here: " << strReason;
    Write("body.txt", "ｶﾞｯｺｳ ①㈱Ⅲ 髙﨑さん\r\n");
    SetField(m_pDoc->m_sender.szName, "差出人");
    SetField(m_pDoc->m_sender.szMailAddress, "taro@example.jp");
    servers.SetServers(m_pDoc->m_sender);
    FillForm("ﾔﾏﾀﾞ", "member01@example.jp", "ご案内①", m_strAppDir + "body.txt");
    m_platform.m_nextChoices.push_back(0); // the first answer: replace the characters
    m_pForm->OnSend();
    EXPECT_EQ(m_pForm->Status(), "ヤマダ 添付ファイルなし送信開始-送信成功");

    std::ofstream(OsPath(m_strAppDir + "expected.txt"), std::ios::binary)
        << Utf8(u8"ガッコウ (1)(株)III 高崎さん\n");
    ExpectedMessage expected;
    expected.strSubject = Utf8(u8"ご案内(1)");
    expected.strFromName = Utf8(u8"差出人");
    expected.strFromAddr = "taro@example.jp";
    expected.strToName = Utf8(u8"ヤマダ");
    expected.strToAddr = "member01@example.jp";
    expected.strBodyFile = OsPath(m_strAppDir + "expected.txt");
    std::string strOutput;
    EXPECT_EQ(CheckDeliveredMessage(servers, expected, strOutput), 0) << strOutput;
}
