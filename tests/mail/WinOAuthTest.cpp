// WinOAuthTest.cpp - the Windows halves of the OAuth 2.0 sign-in, under Wine: the redirect
// listener over Winsock (one request taken and answered, on 127.0.0.1 only, a wait that ends,
// nothing heard after Close), and the token program run through CreateProcessW without a shell.
#include "mail/LoopbackListener.h"
#include "mail/SystemSocket.h"
#include "mail/TokenCommand.h"
#include "support/BrowserVisit.h"

#include <gtest/gtest.h>

#include <thread>

TEST(WinLoopbackListener, OneRequestAnsweredThenClosed)
{
    CLoopbackListener listener;
    ASSERT_TRUE(listener.Listen());
    const int nPort = listener.Port();
    ASSERT_GT(nPort, 0);
    std::string strLine;
    EXPECT_FALSE(listener.NextRequest(1, strLine)); // no browser: the wait ends

    std::string strPage;
    std::thread browser([&] {
        strPage =
            SendToLoopback(nPort, "GET /?code=c-1&state=s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    });
    ASSERT_TRUE(listener.NextRequest(10, strLine));
    EXPECT_EQ(strLine, "GET /?code=c-1&state=s HTTP/1.1");
    listener.Reply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    browser.join();
    EXPECT_EQ(strPage, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");

    listener.Close();
    EXPECT_EQ(SendToLoopback(nPort, "GET / HTTP/1.1\r\n\r\n"), "");
}

struct CommandCase
{
    const char* pszName;
    std::vector<std::string> words;
    bool bGood;
    const char* pszResult; // the token, or the start of the error
};

void PrintTo(const CommandCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class WinTokenCommand : public ::testing::TestWithParam<CommandCase>
{
};

TEST_P(WinTokenCommand, FirstLineOrAClearMessage)
{
    std::string strToken;
    std::string strError;
    EXPECT_EQ(RunTokenCommand(GetParam().words, 2, strToken, strError), GetParam().bGood)
        << strError;
    if (GetParam().bGood)
    {
        EXPECT_EQ(strToken, GetParam().pszResult);
    }
    else
    {
        EXPECT_EQ(strError.rfind(GetParam().pszResult, 0), 0u) << strError;
    }
}

// cmd.exe stands in for the user's helper, found by its name as Windows finds programs.
INSTANTIATE_TEST_SUITE_P(
    Rows, WinTokenCommand,
    ::testing::Values(
        CommandCase{"FirstLine", {"cmd", "/c", "echo tok-1&echo second"}, true, "tok-1"},
        CommandCase{"Fails",
                    {"cmd", "/c", "echo tok&exit 3"},
                    false,
                    "OAuthTokenCommand が失敗しました (終了コード 3)"},
        CommandCase{"Empty",
                    {"cmd", "/c", "rem"},
                    false,
                    "OAuthTokenCommand がアクセストークンを出力しませんでした"},
        CommandCase{"Hangs",
                    {"cmd", "/c", "for /l %i in (0,0,1) do @rem"},
                    false,
                    "OAuthTokenCommand が 2 秒以内に"},
        CommandCase{"Missing",
                    {"C:\\nonexistent\\helper.exe"},
                    false,
                    "OAuthTokenCommand を起動できません"}),
    [](const testing::TestParamInfo<CommandCase>& paramInfo) {
        return std::string(paramInfo.param.pszName);
    });
