// MailSenderTest.cpp - the POP-before-SMTP session over a scripted socket: every result code, the
// exact bytes of the whole conversation, and the message after DATA.
#include "mail/MailSender.h"

#include "support/TempFolder.h"
#include "app/Sjis.h"
#include "mail/SendResult.h"
#include "support/ScriptedPlatform.h"
#include "support/MessageHeaders.h"
#include "support/ScriptedSocket.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <functional>
#include <string_view>

namespace
{
const std::string kPopTranscript = "USER taro\nPASS secret\nQUIT\n";
const std::string kHelo = "HELO merrows\n";
const std::string kMailFrom = "MAIL FROM:<taro@example.jp>\n";
const std::string kRcptTo = "RCPT TO:<hanako@example.jp>\n";
const std::string kData = "DATA\n";
const std::string kEnvelope = kHelo + kMailFrom + kRcptTo + kData;
const std::string kFromLine = "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <taro@example.jp>\r\n";
const std::string kToLine = "To: =?ISO-2022-JP?B?GyRCMlY7UhsoQg==?= <hanako@example.jp>\r\n";
const std::string kSubjectLine = "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n";
const std::string kHeaderLines = kFromLine + kToLine + kSubjectLine;
const std::string kTextHeaders =
    "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
// The message header of a plain mail: the text part's lines, then the added ones.
const std::string kPlainHeaders =
    "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\nContent-Transfer-Encoding: 7bit\r\n" +
    kAddedHeaderLines + "MIME-Version: 1.0\r\n\r\n";
// The boundary's random part is fixed through the options.
const std::string kBoundaryTail = "0123456789abcdef01234567";
const std::string kDelimiter = "\r\n--_MULTIPART_MIXED_" + kBoundaryTail + "\r\n";
const std::string kCloseDelimiter = "\r\n--_MULTIPART_MIXED_" + kBoundaryTail + "--\r\n";
const std::string kMultipartHeaders = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n"
                                      " boundary=\"_MULTIPART_MIXED_" +
                                      kBoundaryTail +
                                      "\"\r\n"
                                      "Content-Transfer-Encoding: 7bit\r\n" +
                                      kAddedHeaderLines + kDelimiter;
} // namespace

class MailSenderTest : public ::testing::Test
{
  public:
    void SetUp() override
    {
        SetField(m_sender.szName, "山田");
        SetField(m_sender.szMailAddress, "taro@example.jp");
        SetField(m_sender.szPop3Server, "pop.example.jp");
        SetField(m_sender.szSmtpServer, "smtp.example.jp");
        SetField(m_sender.szLoginName, "taro");
        SetField(m_sender.szPassword, "secret");
        SetField(m_request.szName, "花子");
        SetField(m_request.szAddress, "hanako@example.jp");
        SetField(m_request.szTitle, "テスト");
        SetBody("Hello\r\n");
    }

    void SetBody(const std::string& strBytes)
    {
        SetField(m_request.szTextFile, m_folder.Write("body.txt", strBytes));
    }

    void ScriptPopAccepting()
    {
        m_socket.NextConnection()
            .Piece("+OK ready\r\n")
            .Piece("+OK\r\n")
            .Piece("+OK\r\n")
            .Piece("+OK bye\r\n");
    }

    // The SMTP server answers the greeting, the four envelope commands and the data; QUIT reads
    // the data's reply, so the server's answer to QUIT is never read.
    void ScriptSmtpAccepting()
    {
        m_socket.NextConnection()
            .Piece("220 smtp ready\r\n")
            .Piece("250 hello\r\n")
            .Piece("250 ok\r\n")
            .Piece("250 ok\r\n")
            .Piece("354 go ahead\r\n")
            .Piece("250 queued\r\n");
    }

    // The send operation's result; the body and send time it reports for the log are kept.
    int SendPlain() { return Send(false); }
    int SendMultipart() { return Send(true); }

    int Send(bool bMultipart)
    {
        MailOptions options;
        options.profile = m_profile;
        options.answers.bSendUtf8 = m_bSendUtf8;
        options.answers.bBodyFromUtf8 = m_bBodyFromUtf8;
        options.strBoundaryTail = m_strBoundaryTail;
        CMailSender sender(m_platform, m_factory, options);
        const SendOutcome outcome = sender.Deliver(m_sender, m_request, bMultipart);
        m_strBody = outcome.strBody;
        m_timeSend = outcome.timeSend;
        return SendResultOf(outcome);
    }

    std::string Sent(std::size_t nConnection) const
    {
        return nConnection < m_socket.m_sent.size() ? MaskMessageId(m_socket.m_sent[nConnection])
                                                    : "<no connection>";
    }

    CTempFolder m_folder;
    CScriptedSocket m_socket;
    CScriptedSocketFactory m_factory{m_socket};
    CScriptedPlatform m_platform;
    SenderInf m_sender;
    SendRequest m_request;
    std::string m_strBody;
    std::time_t m_timeSend = 0;
    DeliveryProfile m_profile;
    bool m_bSendUtf8 = false;
    bool m_bBodyFromUtf8 = false;
    std::string m_strBoundaryTail = kBoundaryTail;
};

TEST_F(MailSenderTest, PlainMailGoesThroughWithExactBytes)
{
    SetBody("こんにちは %NAME様\r\n%DATE %TIME\r\n");
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(m_socket.m_connects,
              (std::vector<std::string>{"pop.example.jp:110", "smtp.example.jp:25"}));
    EXPECT_EQ(Sent(0), kPopTranscript);
    EXPECT_EQ(Sent(1), kEnvelope + kHeaderLines + kPlainHeaders +
                           "\x1B$B$3$s$K$A$O\x1B(B \x1B$B2V;RMM\x1B(B\r\n"
                           "2004\x1B$BG/\x1B(B07\x1B$B7n\x1B(B05\x1B$BF|\x1B(B "
                           "09\x1B$B;~\x1B(B05\x1B$BJ,\x1B(B" +
                           "\r\n.\r\n" + "QUIT\n");
    EXPECT_EQ(m_strBody, "こんにちは 花子様\r\n2004年07月05日 09時05分\r\n");
    EXPECT_EQ(m_timeSend, m_platform.m_now);
    EXPECT_TRUE(m_socket.ScriptDone());
    EXPECT_EQ(m_socket.m_bOpen, false);
}

TEST_F(MailSenderTest, MultipartMailWithJapaneseFileNameHasExactBytes)
{
    std::string strContent;
    for (int i = 0; i < 72; ++i)
        strContent.push_back(static_cast<char>(i));
    SetField(m_request.szBinFile, m_folder.Write("資料.txt", strContent));
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    const std::string strAfterHeaders =
        kMultipartHeaders + kTextHeaders + "Hello\r\n" + kDelimiter +
        "Content-Type: text/plain;\r\n name=\"=?ISO-2022-JP?B?GyRCO3FOQRsoQi50eHQ=?=\"\r\n" +
        "Content-Disposition: attachment;\r\n filename*=ISO-2022-JP''%1B$B%3BqNA%1B%28B.txt\r\n" +
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4\r\n"
        "OTo7PD0+P0BBQkNERUZH\r\n" +
        kCloseDelimiter + "\r\n.\r\n";
    // The result counts everything after the address header lines.
    EXPECT_EQ(SendMultipart(), static_cast<int>(strAfterHeaders.size() + kMaskedMessageIdBytes));
    EXPECT_EQ(Sent(0), kPopTranscript);
    EXPECT_EQ(Sent(1), kEnvelope + kHeaderLines + strAfterHeaders + "QUIT\n");
}

// A body that quotes an earlier mail's delimiter lines cannot end its part: the boundary has a
// random part of its own for every message.
TEST_F(MailSenderTest, BodyQuotingTheBoundaryStemStaysInItsPart)
{
    m_strBoundaryTail.clear();
    SetBody("a\r\n--_MULTIPART_MIXED_\r\n--_MULTIPART_MIXED_--\r\nb\r\n");
    SetField(m_request.szBinFile, m_folder.Write("a.bin", "xyz"));
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    ASSERT_GT(SendMultipart(), 0);
    const std::string strSmtp = Sent(1);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(strSmtp, match,
                                  std::regex("boundary=\"(_MULTIPART_MIXED_[0-9a-f]{24})\"")));
    const std::string strBoundary = match[1];
    EXPECT_NE(strSmtp.find("\r\n\r\na\r\n--_MULTIPART_MIXED_\r\n--_MULTIPART_MIXED_--\r\nb\r\n"
                           "\r\n--" +
                           strBoundary + "\r\nContent-Type: application/octet-stream;"),
              std::string::npos)
        << strSmtp;
    std::size_t nDelimiters = 0;
    for (std::size_t nAt = 0; (nAt = strSmtp.find("\n--" + strBoundary, nAt)) != std::string::npos;
         ++nAt)
        ++nDelimiters;
    EXPECT_EQ(nDelimiters, 3u); // two delimiters and the close delimiter
}

// Under UTF-8 (the profile's charset or the user's answer) the header words and the text part are
// UTF-8, the body base64 where that is shorter; the keep copy is the CP932 body as ever.
TEST_F(MailSenderTest, Utf8MailHasExactBytes)
{
    for (const bool bAnswer : {false, true})
    {
        m_profile.charset = bAnswer ? MailCharset::iso2022jp : MailCharset::utf8;
        m_bSendUtf8 = bAnswer;
        SetBody("①\r\n");
        ScriptPopAccepting();
        ScriptSmtpAccepting();
        EXPECT_EQ(SendPlain(), 5);
        EXPECT_EQ(Sent(bAnswer ? 3 : 1),
                  kEnvelope + "From: =?UTF-8?B?5bGx55Sw?= <taro@example.jp>\r\n" +
                      "To: =?UTF-8?B?6Iqx5a2Q?= <hanako@example.jp>\r\n" +
                      "Subject: =?UTF-8?B?44OG44K544OI?=\r\n" +
                      "Content-Type: text/plain; charset=\"UTF-8\"\r\n" +
                      "Content-Transfer-Encoding: base64\r\n" + kAddedHeaderLines +
                      "MIME-Version: 1.0\r\n\r\n4pGgDQo=\r\n.\r\nQUIT\n");
        EXPECT_EQ(m_strBody, "①\r\n");
    }
}

// A UTF-8 body file sent as UTF-8 keeps the characters CP932 lacks; the keep copy has "〓" for
// them.
TEST_F(MailSenderTest, Utf8BodyFileKeepsItsCharactersUnderUtf8)
{
    m_profile.charset = MailCharset::utf8;
    m_bBodyFromUtf8 = true;
    SetBody("\xEF\xBB\xBF" +
            std::string(reinterpret_cast<const char*>(u8"こんにちは\U0001F600 %NAME様\r\n")));
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_NE(Sent(1).find("Content-Transfer-Encoding: base64\r\n" + kAddedHeaderLines +
                           "MIME-Version: 1.0\r\n\r\n"
                           "44GT44KT44Gr44Gh44Gv8J+YgCDoirHlrZDmp5gNCg==\r\n.\r\n"),
              std::string::npos)
        << Sent(1);
    EXPECT_EQ(m_strBody, "こんにちは〓 花子様\r\n");
}

// An attachment that is empty by the time it is read leaves the second part without headers.
TEST_F(MailSenderTest, EmptyAttachmentGivesPartWithoutHeadersOrContent)
{
    SetField(m_request.szBinFile, m_folder.Write("empty.bin", ""));
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    const std::string strAfterHeaders =
        kMultipartHeaders + kTextHeaders + "Hello\r\n" + kDelimiter + kCloseDelimiter + "\r\n.\r\n";
    EXPECT_EQ(SendMultipart(), static_cast<int>(strAfterHeaders.size() + kMaskedMessageIdBytes));
    EXPECT_EQ(Sent(1), kEnvelope + kHeaderLines + strAfterHeaders + "QUIT\n");
}

// On the wire a lone LF or CR becomes CR LF and a leading "." is doubled, also in a
// quoted-printable part (the 1,000-byte line makes the part quoted-printable, its soft line
// breaks keep the line whole); the composed body keeps its own bytes.
TEST_F(MailSenderTest, DataPhaseIsTransparentOnTheWire)
{
    const std::string strBody = "a\n.\nb\rc\r\n..d\r\n" + std::string(1000, 'x') + "\n.e\n";
    SetBody(strBody);
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    std::string strQuoted;
    for (int i = 0; i < 13; ++i)
        strQuoted += std::string(75, 'x') + "=\r\n";
    strQuoted += std::string(25, 'x') + "\r\n";
    std::string strHeaders = kPlainHeaders;
    strHeaders.replace(strHeaders.find("7bit"), 4, "quoted-printable");
    EXPECT_EQ(Sent(1), kEnvelope + kHeaderLines + strHeaders + "a\r\n..\r\nb\r\nc\r\n...d\r\n" +
                           strQuoted + "..e" + "\r\n.\r\n" + "QUIT\n");
    EXPECT_EQ(m_strBody, strBody);
}

// A half-width katakana never goes out as a byte ISO-2022-JP cannot carry: it is sent full-width.
TEST_F(MailSenderTest, SubjectEndingInHalfWidthKatakanaGoesOutFullWidth)
{
    SetField(m_request.szTitle, "\xB1");
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(Sent(1), kEnvelope + kFromLine + kToLine +
                           "Subject: =?ISO-2022-JP?B?GyRCJSIbKEI=?=\r\n" + kPlainHeaders +
                           "Hello\r\n.\r\nQUIT\n");
}

// Each conversion chunk is a complete ISO-2022-JP string: where the converter's budget ends inside
// Japanese text the wire shows ESC ( B ESC $ B.
TEST_F(MailSenderTest, LongJapaneseBodyIsSentInCompleteChunks)
{
    const auto kanji = [](int n) {
        std::string strSjis, strJis;
        for (int i = 0; i < n; ++i)
        {
            strSjis += "あ";
            strJis += "$\"";
        }
        return std::make_pair(strSjis, strJis);
    };
    SetBody(kanji(400).first + "\r\n" + kanji(200).first);
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(Sent(1), kEnvelope + kHeaderLines + kPlainHeaders + "\x1B$B" + kanji(400).second +
                           "\x1B(B\r\n\x1B$B" + kanji(102).second + "\x1B(B\x1B$B" +
                           kanji(98).second + "\x1B(B" + "\r\n.\r\nQUIT\n");
}

TEST_F(MailSenderTest, BodyEndsAtNulAndLoneLeadByteIsNotSent)
{
    SetBody(std::string("abc\0def", 7));
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(m_strBody, "abc");
    EXPECT_EQ(Sent(1), kEnvelope + kHeaderLines + kPlainHeaders + "abc\r\n.\r\nQUIT\n");

    SetBody("abc\x82");
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(m_strBody, "abc\x82");
    EXPECT_EQ(Sent(3), kEnvelope + kHeaderLines + kPlainHeaders + "abc\r\n.\r\nQUIT\n");
}

// One scripted failure per row: the result, what the POP3 and SMTP servers received, and whether
// an SMTP connection was made at all.
class MailSenderResultTest;

struct SessionCase
{
    const char* pszName;
    std::function<void(MailSenderResultTest&, CScriptedSocket&)> script;
    int nResult;
    std::string strPopSent;
    std::string strSmtpSent; // "<no connection>" when no SMTP connection is made
};

// A failing row names itself, not its bytes.
void PrintTo(const SessionCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class MailSenderResultTest : public MailSenderTest,
                             public ::testing::WithParamInterface<SessionCase>
{
  public:
    void ScriptPop() { ScriptPopAccepting(); }
    void ScriptSmtp(std::initializer_list<std::string> replies)
    {
        m_socket.NextConnection();
        for (const std::string& strReply : replies)
            m_socket.Piece(strReply);
    }
};

TEST_P(MailSenderResultTest, ResultAndTranscript)
{
    const SessionCase& row = GetParam();
    row.script(*this, m_socket);
    EXPECT_EQ(SendPlain(), row.nResult);
    EXPECT_EQ(Sent(0), row.strPopSent);
    EXPECT_EQ(Sent(1), row.strSmtpSent);
    EXPECT_FALSE(m_socket.m_bOpen) << "the socket is closed when the operation ends";
    // What the log and the keep copy record: the time of every attempt, the body once the header
    // lines are out and the message data begins.
    EXPECT_EQ(m_timeSend, m_platform.m_now);
    const bool bBodyRead = row.strSmtpSent.starts_with(kEnvelope + kHeaderLines);
    EXPECT_EQ(m_strBody, bBodyRead ? "Hello\r\n" : "");
}

namespace
{
using T = MailSenderResultTest;
const std::string kNone = "<no connection>";
const std::string kMessage = kHeaderLines + kPlainHeaders + "Hello\r\n.\r\n";

const SessionCase kSessionCases[] = {
    {"PlainMailReturnsFive",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n",
                       "250 e\r\n", "221 f\r\n"});
     },
     5, kPopTranscript, kEnvelope + kMessage + "QUIT\n"},
    {"SocketNotCreated", [](T&, CScriptedSocket& s) { s.m_bCreateFails = true; }, 0, kNone, kNone},
    {"PopNotConnected", [](T&, CScriptedSocket& s) { s.NextConnection().RefuseConnect(); }, 0, "",
     kNone},
    {"PopGreetingMissing", [](T&, CScriptedSocket& s) { s.NextConnection().Closed(); }, 0, "",
     kNone},
    {"PopGreetingErrSendsNoUser",
     [](T&, CScriptedSocket& s) { s.NextConnection().Piece("-ERR busy\r\n"); }, 0, "", kNone},
    {"PopGreetingLowerCaseOkFails",
     [](T&, CScriptedSocket& s) { s.NextConnection().Piece("+ok ready\r\n"); }, 0, "", kNone},
    {"PopUserRefused",
     [](T&, CScriptedSocket& s) { s.NextConnection().Piece("+OK\r\n").Piece("-ERR no\r\n"); }, 0,
     "USER taro\n", kNone},
    {"PopUserNotSent",
     [](T&, CScriptedSocket& s) { s.NextConnection().Piece("+OK\r\n").SendLimit(3); }, 0, "",
     kNone},
    {"PopUserNoReply",
     [](T&, CScriptedSocket& s) { s.NextConnection().Piece("+OK\r\n").Piece("+O"); }, 0,
     "USER taro\n", kNone},
    // PASS refused: no QUIT to the POP3 server and no SMTP connection.
    {"PopPassRefused",
     [](T&, CScriptedSocket& s) {
         s.NextConnection().Piece("+OK\r\n").Piece("+OK\r\n").Piece("-ERR [AUTH] failed\r\n");
     },
     0, "USER taro\nPASS secret\n", kNone},
    {"PopPassNoReply",
     [](T&, CScriptedSocket& s) { s.NextConnection().Piece("+OK\r\n").Piece("+OK\r\n").Closed(); },
     0, "USER taro\nPASS secret\n", kNone},
    {"SmtpNotConnected",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         s.NextConnection().RefuseConnect();
     },
     0, kPopTranscript, ""},
    {"SmtpGreeting554",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"554 go away\r\n"});
     },
     0, kPopTranscript, ""},
    {"SmtpGreetingMissing",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"22"});
     },
     0, kPopTranscript, ""},
    {"HeloNotSent",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n"});
         s.SendLimit(0);
     },
     Code(SendCode::HeloNotSent), kPopTranscript, ""},
    {"HeloNoReply",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n"});
     },
     Code(SendCode::HeloNoReply), kPopTranscript, kHelo + "QUIT\n"},
    // A greeting in two pieces leaves its second line to be read as the reply to HELO.
    {"GreetingSplitOverTwoPiecesFailsHelo",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220-first\r\n", "220 second\r\n", "221 bye\r\n"});
     },
     Code(SendCode::HeloRefused), kPopTranscript, kHelo + "QUIT\n"},
    {"MailFromNotSent",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n"});
         s.SendLimit(kHelo.size());
     },
     Code(SendCode::MailFromNotSent), kPopTranscript, kHelo},
    {"MailFromNoReply",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n"});
         s.Fail(10060);
     },
     Code(SendCode::MailFromNoReply), kPopTranscript, kHelo + kMailFrom + "QUIT\n"},
    {"MailFromRefused",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "501 bad\r\n"});
     },
     Code(SendCode::MailFromRefused), kPopTranscript, kHelo + kMailFrom + "QUIT\n"},
    {"RcptToNotSent",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n"});
         s.SendLimit(kHelo.size() + kMailFrom.size());
     },
     Code(SendCode::RcptToNotSent), kPopTranscript, kHelo + kMailFrom},
    {"RcptToNoReply",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "\r\n"});
     },
     Code(SendCode::RcptToNoReply), kPopTranscript, kHelo + kMailFrom + kRcptTo + "QUIT\n"},
    // A refused recipient still ends the connection with QUIT.
    {"RcptTo550StillSendsQuit",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp(
             {"220 hi\r\n", "250 a\r\n", "250 b\r\n", "550 no such user\r\n", "221 bye\r\n"});
     },
     Code(SendCode::RcptToRefused), kPopTranscript, kHelo + kMailFrom + kRcptTo + "QUIT\n"},
    {"DataNotSent",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n"});
         s.SendLimit(kHelo.size() + kMailFrom.size() + kRcptTo.size());
     },
     Code(SendCode::DataNotSent), kPopTranscript, kHelo + kMailFrom + kRcptTo},
    {"DataNoReply",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n"});
         s.Closed();
     },
     Code(SendCode::DataNoReply), kPopTranscript, kEnvelope + "QUIT\n"},
    {"DataAnswered250",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "250 d\r\n"});
     },
     Code(SendCode::DataRefused), kPopTranscript, kEnvelope + "QUIT\n"},
    {"FromLineNotSent",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n"});
         s.SendLimit(kEnvelope.size());
     },
     Code(SendCode::FromLineNotSent), kPopTranscript, kEnvelope},
    {"ToLineNotSent",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n"});
         s.SendLimit(kEnvelope.size() + kFromLine.size());
     },
     Code(SendCode::ToLineNotSent), kPopTranscript, kEnvelope + kFromLine},
    {"SubjectLineNotSent",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n"});
         s.SendLimit(kEnvelope.size() + kFromLine.size() + kToLine.size());
     },
     Code(SendCode::SubjectLineNotSent), kPopTranscript, kEnvelope + kFromLine + kToLine},
    // The connection breaks while the message data goes out: the send fails instead of counting.
    {"MessageDataLost",
     [](T& t, CScriptedSocket& s) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n"});
         s.SendLimit(kEnvelope.size() + kHeaderLines.size() + 10);
     },
     Code(SendCode::DataLost), kPopTranscript, kEnvelope + kHeaderLines},
    // The whole message went out but the server refused it, or never answered its end: not sent.
    {"MessageRefusedAfterItsEnd",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n",
                       "554 5.7.1 spam\r\n", "221 bye\r\n"});
     },
     Code(SendCode::DataRejected), kPopTranscript, kEnvelope + kMessage + "QUIT\n"},
    {"NoReplyToTheMessageEnd",
     [](T& t, CScriptedSocket&) {
         t.ScriptPop();
         t.ScriptSmtp({"220 hi\r\n", "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n"});
     },
     Code(SendCode::DataRejected), kPopTranscript, kEnvelope + kMessage + "QUIT\n"},
};
} // namespace

INSTANTIATE_TEST_SUITE_P(EveryStep, MailSenderResultTest, ::testing::ValuesIn(kSessionCases),
                         [](const ::testing::TestParamInfo<SessionCase>& paramInfo) {
                             return paramInfo.param.pszName;
                         });

// Values that would break a command or a header line are refused before any connection.
TEST_F(MailSenderTest, LineBreakInAValueIsRefusedBeforeConnecting)
{
    const std::function<void(MailSenderTest&)> mutations[] = {
        [](MailSenderTest& t) { SetField(t.m_sender.szName, "a\rb"); },
        [](MailSenderTest& t) { SetField(t.m_sender.szMailAddress, "a@b\n"); },
        [](MailSenderTest& t) { SetField(t.m_request.szName, "\nx"); },
        [](MailSenderTest& t) { SetField(t.m_request.szAddress, "x@y\r\nRCPT TO:<z@w>"); },
        [](MailSenderTest& t) { SetField(t.m_request.szTitle, "hi\r\nBcc: z@w"); },
    };
    for (const auto& mutate : mutations)
    {
        SetUp();
        mutate(*this);
        EXPECT_EQ(SendPlain(), Code(SendCode::ValueHasLineBreak));
    }
#ifndef _WIN32 // (Windows allows no line break in a file name)
    SetUp();
    SetField(m_request.szBinFile, m_folder.Write("a\nb.txt", "x"));
    EXPECT_EQ(SendMultipart(), Code(SendCode::ValueHasLineBreak));
#endif
    EXPECT_EQ(m_socket.m_nCreates, 0);
    EXPECT_TRUE(m_socket.m_connects.empty());
}

// The longest values the fields hold go out folded: no header line is refused, none passes 998
// bytes on the wire.
TEST_F(MailSenderTest, LongestValuesGoOutFoldedWithinTheLineLimit)
{
    std::string strTitle;
    for (int i = 0; i < 84; ++i)
        strTitle += "あa";
    SetField(m_request.szTitle, strTitle);
    SetField(m_request.szBinFile, m_folder.Write(std::string(200, 'n') + ".txt", "x"));
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_GT(SendMultipart(), 0);
    const std::string strSmtp = Sent(1);
    for (std::size_t nAt = 0, nEnd; (nEnd = strSmtp.find('\n', nAt)) != std::string::npos;
         nAt = nEnd + 1)
        EXPECT_LE(nEnd - nAt, 999u) << strSmtp.substr(nAt, 60);
    EXPECT_NE(strSmtp.find("Subject: =?ISO-2022-JP?B?"), std::string::npos);
}

TEST_F(MailSenderTest, LoginNameOrPasswordLongerThan121BytesFailsBeforeSending)
{
    SetField(m_sender.szLoginName, std::string(122, 'u'));
    EXPECT_EQ(SendPlain(), Code(SendCode::NoSession));
    EXPECT_TRUE(m_socket.m_connects.empty());
    SetField(m_sender.szLoginName, "taro");
    SetField(m_sender.szPassword, std::string(122, 'p'));
    EXPECT_EQ(SendPlain(), Code(SendCode::NoSession));
    EXPECT_TRUE(m_socket.m_connects.empty());

    SetField(m_sender.szPassword, std::string(121, 'p'));
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(Sent(0), "USER taro\nPASS " + std::string(121, 'p') + "\nQUIT\n");
}

TEST_F(MailSenderTest, ServerFieldsMayCarryPorts)
{
    SetField(m_sender.szPop3Server, "[::1]:1110");
    SetField(m_sender.szSmtpServer, "localhost:2525");
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(m_socket.m_connects, (std::vector<std::string>{"::1:1110", "localhost:2525"}));
}

TEST_F(MailSenderTest, MissingBodyFileRaisesFileErrorBeforeAnyConnection)
{
    SetField(m_request.szTextFile, m_folder.Dir() + "missing.txt");
    EXPECT_THROW(SendPlain(), CFileException);
    EXPECT_EQ(m_socket.m_nCreates, 0);
}

// The attachment is opened only after the text part: the message is left without its end.
TEST_F(MailSenderTest, MissingAttachmentRaisesFileErrorAndLeavesMessageUnfinished)
{
    SetField(m_request.szBinFile, m_folder.Dir() + "missing.bin");
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_THROW(SendMultipart(), CFileException);
    EXPECT_EQ(Sent(1), kEnvelope + kHeaderLines); // the buffered rest never went out
    EXPECT_FALSE(m_socket.m_bOpen);
    EXPECT_EQ(m_strBody, "");
}

TEST_F(MailSenderTest, PlaceholdersAreFilledInOrder)
{
    SetField(m_request.szName, "%DATE%NAME");
    SetBody("%NAME/%NAME/%MAILADDRESS/%TIME/%name");
    ScriptPopAccepting();
    ScriptSmtpAccepting();
    EXPECT_EQ(SendPlain(), 5);
    // The name's "%DATE" is filled in too, since dates are filled in after names; the "%NAME" it
    // brings in is not searched again.
    EXPECT_EQ(m_strBody,
              "2004年07月05日%NAME/2004年07月05日%NAME/hanako@example.jp/09時05分/%name");
}

namespace
{
// Cuts the attachment short as soon as the first buffered piece of the message data goes out.
class CShrinkingSocket : public CScriptedSocket
{
  public:
    explicit CShrinkingSocket(std::string strPath) : m_strPath(std::move(strPath)) {}
    int Send(const char* pData, int nLength) override
    {
        if (std::string_view(pData, static_cast<std::size_t>(nLength)).find("base64") !=
            std::string_view::npos)
            std::filesystem::resize_file(m_strPath, 1000);
        return CScriptedSocket::Send(pData, nLength);
    }

  private:
    std::string m_strPath;
};
} // namespace

// An attachment that becomes shorter while it is sent fails the send with its own code; the
// message is never ended with "." (nor followed by QUIT), so the server discards it.
TEST_F(MailSenderTest, AnAttachmentThatShrinksWhileSentIsNotEnded)
{
    const std::string strPath = m_folder.Write("big.bin", std::string(256 * 1024, 'b'));
    SetField(m_request.szBinFile, strPath);
    CShrinkingSocket socket(strPath);
    CScriptedSocketFactory factory(socket);
    socket.NextConnection()
        .Piece("+OK ready\r\n")
        .Piece("+OK\r\n")
        .Piece("+OK\r\n")
        .Piece("+OK\r\n");
    socket.NextConnection()
        .Piece("220 smtp ready\r\n")
        .Piece("250 hello\r\n")
        .Piece("250 ok\r\n")
        .Piece("250 ok\r\n")
        .Piece("354 go ahead\r\n");
    CMailSender sender(m_platform, factory);
    EXPECT_EQ(sender.SendMultipartMail(m_sender, m_request), Code(SendCode::AttachmentShortened));
    ASSERT_EQ(socket.m_sent.size(), 2u);
    const std::string& strSmtp = socket.m_sent[1];
    EXPECT_NE(strSmtp.find("base64"), std::string::npos);
    EXPECT_EQ(strSmtp.find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(strSmtp.find("QUIT"), std::string::npos);
    EXPECT_FALSE(socket.m_bOpen);
}
