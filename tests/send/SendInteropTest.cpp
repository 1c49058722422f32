// SendInteropTest.cpp - a 50-member group send through real servers: private Postfix (SMTP) and
// Dovecot (POP3) on loopback, started and stopped by scripts/mailservers. Every delivered message
// is decoded with Python's standard email package. Skipped with the reason when the servers
// cannot run on this machine.
#include "SendFixture.h"

#include "support/RealMailServers.h"
#include "addr/AddressBook.h"

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

    EXPECT_EQ(m_pForm->m_nFailedSends, 0);
    EXPECT_EQ(m_pForm->m_strStatus, "会員50 添付ファイルなし送信開始-送信成功");
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
