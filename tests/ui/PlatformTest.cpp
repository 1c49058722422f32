// PlatformTest.cpp - the desktop and headless platforms: filters, when to run headless, what
// a headless run writes instead of waiting for a person, and Qt's own texts in Japanese.
#include "send/HeadlessPlatform.h"
#include "ui/QtPlatform.h"
#include "ui/QtText.h"
#include "ui/TarvellApp.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTranslator>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>

TEST(QtFileFilter, KeepsLabelsAndMapsPatterns)
{
    EXPECT_EQ(QtFileFilter(ToSjis(QStringLiteral(u"グループアドレス帳(@*.tvl)|@*.tvl||"))),
              QStringLiteral(u"グループアドレス帳 (@*.tvl)"));
    EXPECT_EQ(QtFileFilter(ToSjis(QStringLiteral(u"実行ファイル(*.exe)|*.exe;|全て(*.*)|*.*||"))),
              QStringLiteral(u"実行ファイル (*.exe);;全て (*)"));
    EXPECT_EQ(QtFileFilter(""), QString());
}

TEST(IsHeadless, NeedsNoDisplayOrTheOffscreenPlatform)
{
    EXPECT_TRUE(IsHeadless(nullptr, nullptr, nullptr));
    EXPECT_TRUE(IsHeadless("", "", nullptr));
    EXPECT_FALSE(IsHeadless(":0", nullptr, nullptr));
    EXPECT_FALSE(IsHeadless(nullptr, "wayland-0", "wayland"));
    EXPECT_TRUE(IsHeadless(":0", nullptr, "offscreen"));
}

namespace
{
class CNamedDialog : public IModalDialog
{
  public:
    std::string Title() const override { return ToSjis(QStringLiteral(u"発送元設定")); }
    int Exec() override
    {
        ADD_FAILURE() << "a headless run must not show a dialog";
        return DLG_OK;
    }
};

std::string ReadAll(std::FILE* pFile)
{
    std::rewind(pFile);
    std::string text;
    char buf[256];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof(buf), pFile)) > 0)
        text.append(buf, n);
    return text;
}
} // namespace

TEST(HeadlessPlatform, WritesLinesInsteadOfWaiting)
{
    std::FILE* pOut = std::tmpfile();
    std::FILE* pErr = std::tmpfile();
    CHeadlessPlatform platform(pOut, pErr);
    EXPECT_EQ(platform.ShowMessage(ToSjis(QStringLiteral(u"オープンできません。")), MsgButtons::Ok),
              MsgResult::Ok);
    EXPECT_EQ(platform.ShowMessage("a\r\nb", MsgButtons::YesNo), MsgResult::Yes);
    CNamedDialog dialog;
    EXPECT_EQ(platform.RunModal(dialog), DLG_CANCEL);
    FileDialogRequest request;
    request.strTitle = "pick";
    EXPECT_FALSE(platform.OpenFileDialog(request).bConfirmed);
    platform.StatusChanged(ToSjis(QStringLiteral(u"山田 添付ファイルなし送信開始-送信成功")));

    const std::string strErr = ReadAll(pErr);
    EXPECT_EQ(strErr.substr(0, strErr.find('\n') + 1),
              "Tarvell: \u30aa\u30fc\u30d7\u30f3\u3067\u304d\u307e\u305b\u3093\u3002\n");
    EXPECT_NE(strErr.find("Tarvell: a  b\n"), std::string::npos);
    EXPECT_NE(strErr.find("\u767a\u9001\u5143\u8a2d\u5b9a"),
              std::string::npos); // the dialog's title
    EXPECT_NE(strErr.find("pick"), std::string::npos);
    EXPECT_EQ(ReadAll(pOut), "\u5c71\u7530 "
                             "\u6dfb\u4ed8\u30d5\u30a1\u30a4\u30eb\u306a\u3057\u9001\u4fe1\u958b"
                             "\u59cb-\u9001\u4fe1\u6210\u529f\n");
    std::fclose(pOut);
    std::fclose(pErr);
}

TEST(QtTranslations, StockButtonsSpeakJapanese)
{
    QTranslator translator;
    if (!LoadQtTranslations(translator))
        GTEST_SKIP() << "Qt's Japanese texts are not installed (qt6-translations-l10n)";
    QMessageBox box(QMessageBox::Warning, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const QString qstrButtons = box.button(QMessageBox::Yes)->text() +
                                box.button(QMessageBox::No)->text() +
                                box.button(QMessageBox::Cancel)->text();
    QCoreApplication::removeTranslator(&translator);
    EXPECT_TRUE(qstrButtons.contains(QStringLiteral(u"はい")) &&
                qstrButtons.contains(QStringLiteral(u"いいえ")) &&
                qstrButtons.contains(QStringLiteral(u"キャンセル")))
        << qstrButtons.toStdString();
}

// A question with answers of its own: the desktop shows them as buttons and returns the one
// pressed; without a display the first is taken and that is said on standard error.
TEST(QtPlatform, AQuestionReturnsTheAnswerPressedAndHeadlessTakesTheFirst)
{
    const std::vector<std::string> answers = {ToSjis(QStringLiteral(u"置き換えて送信")),
                                              ToSjis(QStringLiteral(u"そのまま送信")),
                                              ToSjis(QStringLiteral(u"中止"))};
    CQtPlatform platform;
    QTimer::singleShot(0, [] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(pBox, nullptr);
        for (QAbstractButton* pButton : pBox->buttons())
            if (pButton->text() == QStringLiteral(u"そのまま送信"))
                pButton->click();
    });
    EXPECT_EQ(platform.AskQuestion("?", answers), 1u);

    std::FILE* pErr = std::tmpfile();
    CHeadlessPlatform headless(stdout, pErr);
    EXPECT_EQ(headless.AskQuestion("?", answers), 0u);
    EXPECT_EQ(ReadAll(pErr), "Tarvell: ?\nTarvell: \u300c\u7f6e\u304d\u63db\u3048\u3066\u9001"
                             "\u4fe1\u300d\u3092\u9078\u3073\u307e\u3057\u305f (\u753b\u9762"
                             "\u304c\u3042\u308a\u307e\u305b\u3093)\n");
    std::fclose(pErr);
}

namespace
{
// The desktop platform with its message boxes recorded instead of shown.
class CRecordingQtPlatform : public CQtPlatform
{
  public:
    std::vector<std::string> m_messages;
    MsgResult ShowMessage(const std::string& strText, MsgButtons /*buttons*/) override
    {
        m_messages.push_back(strText);
        return MsgResult::Ok;
    }
};
} // namespace

// An opener that fails after it started (xdg-open's "no method available", exit 3) is not silent:
// a message names what could not be opened and why; one that succeeds says nothing.
TEST(QtPlatform, FailedDesktopOpenShowsWhatAndWhere)
{
    CRecordingQtPlatform platform;
    const std::string strFile = TARVELL_SOURCE_DIR "/README.md";
    platform.SetOpener({QStringLiteral("sh"), QStringLiteral("-c"),
                        QStringLiteral("echo \"xdg-open: no method available for opening '$1'\" "
                                       ">&2; exit 3"),
                        QStringLiteral("sh")});
    EXPECT_GT(platform.ShellOpen(strFile, std::string()), 32);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !platform.m_messages.empty(); }, 10000));
    const QString qstrMessage = ToQString(platform.m_messages.at(0));
    EXPECT_TRUE(qstrMessage.contains(QString::fromUtf8(strFile.c_str())))
        << qstrMessage.toStdString();
    EXPECT_TRUE(qstrMessage.contains(QStringLiteral("no method available")))
        << qstrMessage.toStdString();

    platform.SetOpener({QStringLiteral("true")});
    EXPECT_GT(platform.ShellOpen(strFile, std::string()), 32);
    QTest::qWait(300);
    EXPECT_EQ(platform.m_messages.size(), 1u);
    // A missing file or an opener that cannot start fails at once.
    EXPECT_LE(platform.ShellOpen("/no/such/file", std::string()), 32);
    platform.SetOpener({QStringLiteral("/no/such/opener")});
    EXPECT_LE(platform.ShellOpen(strFile, std::string()), 32);
}

// The end of a group send: with a display a box lists the members without the mail, only after a
// send the user started and only when there are such members; without one a single summary line
// goes to standard error and nothing waits.
TEST(QtPlatform, GroupSendSummaryIsABoxOrOneLine)
{
    const std::string strSummary = ToSjis(QStringLiteral(u"成功 1 件、失敗 1 件"));
    const std::string strProblems =
        ToSjis(QStringLiteral(u"No.2 二郎 <jiro@example.jp>: 送信失敗\n"));
    CRecordingQtPlatform platform;
    platform.GroupSendEnded(strSummary, strProblems, true);
    platform.GroupSendEnded(strSummary, strProblems, false); // an automatic send
    platform.GroupSendEnded(strSummary, "", true);           // nobody left without the mail
    EXPECT_EQ(platform.m_messages, std::vector<std::string>{strSummary + "\n\n" + strProblems});

    std::FILE* pErr = std::tmpfile();
    CHeadlessPlatform headless(stdout, pErr);
    headless.GroupSendEnded(strSummary, strProblems, true);
    EXPECT_EQ(ReadAll(pErr), "Tarvell: \u96c6\u8a08: \u6210\u529f 1 \u4ef6\u3001\u5931\u6557 1 "
                             "\u4ef6\n");
    std::fclose(pErr);
}
