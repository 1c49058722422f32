// SendLogTest.cpp - the send log's monthly files and success entries, and keep copies that
// collect the bodies of attempts in the same second.
#include "SendFixture.h"
#include "send/SendLog.h"

namespace
{
SendRequest Request(const std::string& strName, const std::string& strBinFile = "")
{
    SendRequest request;
    SetField(request.szName, strName);
    SetField(request.szAddress, "yamada@example.jp");
    SetField(request.szTitle, "ご案内");
    SetField(request.szTextFile, "/home/me/body.txt");
    SetField(request.szBinFile, strBinFile);
    return request;
}
} // namespace

using SendLog = SendFixture;

TEST_F(SendLog, EntryGoesToTheMonthOfTheAttemptNotOfTheWriting)
{
    const std::time_t tJulyLast = 1091285999; // 2004-07-31 23:59:59 in Tokyo
    CSendLog log(*m_pDoc);
    log.WriteSendLog(AttemptResult::Sent, tJulyLast, Request("山田", "/home/me/図.png"));
    log.WriteSendLog(AttemptResult::Failed, tJulyLast + 1, Request("山田"));
    log.WriteSendLog(AttemptResult::Sent, tJulyLast - 3600, Request("田中"));

    EXPECT_EQ(Files("log"), (std::vector<std::string>{"Tarvell_200407.txt", "Tarvell_200408.txt"}));
    EXPECT_EQ(Read("log/Tarvell_200407.txt"),
              "☆ [送信成功]  2004年07月31日 23時59分59秒\r\n"
              "　　　宛先名: 山田\r\n"
              "宛先アドレス: yamada@example.jp\r\n"
              "　　タイトル: ご案内\r\n"
              "本文ファイル: /home/me/body.txt\r\n"
              "添付ファイル: /home/me/図.png\r\n\r\n" +
                  LogEntry(true, "2004年07月31日 22時59分59秒", "田中", "yamada@example.jp",
                           "ご案内", "/home/me/body.txt", ""));
    EXPECT_EQ(Read("log/Tarvell_200408.txt"),
              LogEntry(false, "2004年08月01日 00時00分00秒", "山田", "yamada@example.jp", "ご案内",
                       "/home/me/body.txt", ""));
}

TEST_F(SendLog, KeepCopiesOfTheSameSecondNameAndNumberShareOneFile)
{
    const std::time_t t = m_platform.m_now;
    CSendLog log(*m_pDoc);
    log.WriteKeepCopy(0, t, "一通目\r\n", Request("山田"));
    log.WriteKeepCopy(0, t, std::string("二通目\0!", 8), Request("山田"));
    log.WriteKeepCopy(1, t, "群", Request("山田"));
    log.WriteKeepCopy(0, t + 1, "次", Request("山田"));

    const std::string stamp = DEFAULT_STAMP;
    EXPECT_EQ(Files("keep"),
              (std::vector<std::string>{stamp + "(00)_山田.txt", stamp + "(01)_山田.txt",
                                        "20040705_090504(00)_山田.txt"}));
    // The bodies follow each other byte for byte: nothing added, a NUL kept.
    EXPECT_EQ(Read("keep/" + stamp + "(00)_山田.txt"), std::string("一通目\r\n二通目\0!", 16));
    EXPECT_EQ(Read("keep/" + stamp + "(01)_山田.txt"), "群");
}
