// SendChecksTest.cpp - the checks of a send command before its first connection: characters the
// wire cannot carry (each class, each answer, a group, the keep copy), a UTF-8 body file and
// addresses that are not local@domain.
#include "SendFixture.h"

#include "send/DeliveryFile.h"
#include "support/FakeMailServer.h"
#include "support/TestBooks.h"

namespace
{
enum Answer : std::size_t
{
    REPLACE = 0,
    UTF8 = 1,
    STOP = 2,
    NO_QUESTION = 99,
};

std::string Utf8Bytes(const char8_t* psz)
{
    return reinterpret_cast<const char*>(psz);
}
} // namespace

class SendChecks : public SendFixture
{
  protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        SetSender(m_server.HostPort());
        m_server.SetRepeat(true);
        m_server.AddConnection(CServerScript::Pop3Accepting());
        m_server.AddConnection(CServerScript::SmtpAccepting());
    }

    // The keep copy of a single send to strName.
    std::string Keep(const std::string& strName, int nSeq = 0)
    {
        return Read("keep/" + std::string(DEFAULT_STAMP) + "(0" + std::to_string(nSeq) + ")_" +
                    strName + ".txt");
    }

    CFakeMailServer m_server;
};

// Whatever the answer, nothing of 8 bits goes on the wire: ISO-2022-JP with the replacements, or
// UTF-8 (the answer, or the profile's charset, when nothing is asked) in base64.
TEST_F(SendChecks, CharactersTheWireCannotCarryAreAskedAboutAndReplacedOnRequest)
{
    struct Row
    {
        const char* pszWhat;
        std::string strBody;
        std::size_t nAnswer;
        std::string strListed; // in the question
        std::string strKept;   // the keep copy: what was composed
        const char* pszCharset = "ISO-2022-JP";
        bool bUtf8Profile = false;
    };
    const Row rows[] = {
        {"plain text", "普通の文です。", NO_QUESTION, "", "普通の文です。"},
        {"half-width kana", "ｶﾞｯｺｳﾉﾊﾟﾝ", REPLACE, "「ｶ」 本文 1行目", "ガッコウノパン"},
        {"NEC row 13", "A\r\n①㈱Ⅲ㍉", REPLACE, "「①」 本文 2行目", "A\r\n(1)(株)IIIミリ"},
        {"extension kanji", "髙﨑纊", REPLACE, "「髙」 本文 1行目", "高崎〓"},
        {"user-defined", "x\xF0\x40y", REPLACE, "「\xF0\x40」 本文 1行目", "x〓y"},
        {"sent as UTF-8", "①", UTF8, "「①」 本文 1行目", "①", "UTF-8"},
        {"UTF-8 profile asks nothing", "ｶ髙①", NO_QUESTION, "", "ｶ髙①", "UTF-8", true},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszWhat);
        Write("body.txt", row.strBody);
        Write(kDeliveryFileName, row.bUtf8Profile ? "Charset=utf-8\n" : "");
        FillForm("山田", "yamada@example.jp", "件名", m_strAppDir + "body.txt");
        m_platform.m_questions.clear();
        if (row.nAnswer != NO_QUESTION)
            m_platform.m_nextChoices.push_back(row.nAnswer);
        const std::size_t nConnections = m_server.ConnectionCount();
        m_pForm->OnSend();
        const std::string strSmtp = m_server.Received(nConnections + 1);
        EXPECT_NE(strSmtp.find(std::string("charset=\"") + row.pszCharset + "\""),
                  std::string::npos)
            << strSmtp;
        EXPECT_TRUE(std::all_of(strSmtp.begin(), strSmtp.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
        })) << strSmtp;
        ASSERT_EQ(m_platform.m_questions.size(), row.nAnswer == NO_QUESTION ? 0u : 1u);
        if (row.nAnswer != NO_QUESTION)
        {
            EXPECT_NE(m_platform.m_questions[0].find(row.strListed), std::string::npos)
                << m_platform.m_questions[0];
        }
        EXPECT_EQ(m_pForm->Status(), "山田 添付ファイルなし送信開始-送信成功");
        EXPECT_EQ(Keep("山田"), row.strKept);
        std::filesystem::remove_all(OsPath(m_strAppDir + "keep"));
        std::filesystem::create_directory(OsPath(m_strAppDir + "keep"));
    }
}

TEST_F(SendChecks, StoppingSendsAndLogsNothing)
{
    Write("body.txt", "ﾃｽﾄ");
    FillForm("山田", "yamada@example.jp", "件名", m_strAppDir + "body.txt");
    m_platform.m_nextChoices.push_back(STOP);
    m_pForm->OnSend();
    m_server.Stop();
    EXPECT_EQ(m_server.ConnectionCount(), 0u);
    EXPECT_TRUE(Files("log").empty());
    EXPECT_TRUE(Files("keep").empty());
    EXPECT_EQ(m_pForm->AutoSender().m_nCountdown, 2); // the command itself still ends as usual
}

TEST_F(SendChecks, TitleAndOneMembersNameAreListedAndReplacedForThatMemberOnly)
{
    Write("body.txt", "%NAME様");
    const AddressBook book = BookOf({{"ﾔﾏﾀﾞ", "yamada@example.jp"}, {"田中", "tanaka@example.jp"}});
    SaveBook(m_strAppDir + "@仲間.tvl", book);
    FillForm("", "@仲間.tvl", "ご案内①", m_strAppDir + "body.txt");
    m_platform.m_nextChoices.push_back(REPLACE);
    m_pForm->OnSend();
    ASSERT_EQ(m_platform.m_questions.size(), 1u);
    const std::string& strQuestion = m_platform.m_questions[0];
    for (const char* pszListed : {"「①」 タイトル", "「ﾔ」 宛先名", "「ﾔ」 本文 1行目"})
        EXPECT_NE(strQuestion.find(pszListed), std::string::npos) << pszListed;
    EXPECT_EQ(strQuestion.find("田中"), std::string::npos);
    EXPECT_EQ(Keep("ヤマダ", 1), "ヤマダ様");
    EXPECT_EQ(Keep("田中", 2), "田中様");
    const std::string strLog = Read("log/Tarvell_200407.txt");
    EXPECT_NE(strLog.find("タイトル: ご案内(1)\r\n"), std::string::npos) << strLog;
}

TEST_F(SendChecks, AUtf8BodyIsConvertedOnRequestAndNeverChanged)
{
    struct Row
    {
        const char* pszWhat;
        std::string strFile;
        std::size_t nAnswer;
        std::string strKept; // empty: nothing sent
    };
    const std::string strUtf8 = Utf8Bytes(u8"\uFEFFこんにちは\U0001F600\r\n");
    const Row rows[] = {
        {"converted", strUtf8, 0, "こんにちは〓\r\n"},
        {"stopped", strUtf8, 1, ""},
        {"neither Shift_JIS nor UTF-8: as it is", "ok\xFF\xFF", NO_QUESTION, "ok\xFF\xFF"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszWhat);
        Write("body.txt", row.strFile);
        FillForm("山田", "yamada@example.jp", "件名", m_strAppDir + "body.txt");
        m_platform.m_questions.clear();
        if (row.nAnswer != NO_QUESTION)
            m_platform.m_nextChoices.push_back(row.nAnswer);
        m_pForm->OnSend();
        EXPECT_EQ(m_platform.m_questions.size(), row.nAnswer == NO_QUESTION ? 0u : 1u);
        if (!m_platform.m_questions.empty())
        {
            EXPECT_NE(m_platform.m_questions[0].find("U+1F600"), std::string::npos);
        }
        if (row.strKept.empty())
            EXPECT_TRUE(Files("keep").empty());
        else
            EXPECT_EQ(Keep("山田"), row.strKept);
        EXPECT_EQ(Read("body.txt"), row.strFile);
        std::filesystem::remove_all(OsPath(m_strAppDir + "keep"));
        std::filesystem::create_directory(OsPath(m_strAppDir + "keep"));
    }
}

// The attempt sends the text the questions read: a body file rewritten meanwhile (here in
// Shift_JIS, after the question about its UTF-8) is not read again and mangled as UTF-8.
TEST_F(SendChecks, TheAttemptSendsTheBodyTheQuestionsRead)
{
    Write("body.txt", Utf8Bytes(u8"\uFEFFこんにちは\U0001F600"));
    FillForm("山田", "yamada@example.jp", "件名", m_strAppDir + "body.txt");
    m_platform.m_nextChoices.push_back(0);
    m_platform.m_onStatus = [this](const std::string&) { Write("body.txt", "書き換えた本文"); };
    m_pForm->OnSend();
    m_platform.m_onStatus = nullptr;
    EXPECT_EQ(m_pForm->Status(), "山田 添付ファイルなし送信開始-送信成功");
    EXPECT_EQ(Keep("山田"), "こんにちは〓");
}

TEST_F(SendChecks, AnAddressThatIsNotLocalAtDomainFailsBeforeAnyConnection)
{
    struct Row
    {
        std::string strTo, strFrom, strReason;
    };
    const std::string strTo = "宛先アドレスが正しくありません";
    const std::string strFrom = "発送元アドレスが正しくありません";
    const Row rows[] = {
        {"hanako.example.jp", "from@example.jp", strTo},
        {"a@x.jp> NOTIFY=SUCCESS ORCPT=rfc822;b@y.jp", "from@example.jp", strTo},
        {"a@", "from@example.jp", strTo},
        {"a b@x.jp", "from@example.jp", strTo},
        {"a@x.jp,b@y.jp", "from@example.jp", strTo},
        {"<a@x.jp", "from@example.jp", strTo},
        {"a\x01@x.jp", "from@example.jp", strTo},
        {"a@b@x.jp", "from@example.jp", strTo},
        {"yamada@example.jp", "from.example.jp", strFrom},
        // No sender set up at all: the reason says where to set one.
        {"yamada@example.jp", "", "発送元が未設定です。「設定」→「発送元設定」で設定してください"},
    };
    Write("body.txt", "本文");
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.strTo + " / " + row.strFrom);
        std::filesystem::remove_all(OsPath(m_strAppDir + "log"));
        std::filesystem::create_directory(OsPath(m_strAppDir + "log"));
        SetField(m_pDoc->m_sender.szMailAddress, row.strFrom);
        FillForm("山田", row.strTo, "件名", m_strAppDir + "body.txt");
        m_pForm->OnSend();
        EXPECT_EQ(m_pForm->Status(), "山田送信失敗-" + row.strReason);
        EXPECT_EQ(Read("log/Tarvell_200407.txt").substr(0, 15), "★ [送信失敗]  ");
    }
    m_server.Stop();
    EXPECT_EQ(m_server.ConnectionCount(), 0u);
}
