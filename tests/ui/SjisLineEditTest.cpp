// SjisLineEditTest.cpp - the edit limited in CP932 bytes: keystrokes and pastes that would pass
// the limit are refused whole; a Japanese character counts two bytes.
#include "ui/SjisLineEdit.h"

#include "UiTest.h"

#include <QApplication>
#include <QClipboard>

namespace
{
TEST(SjisLineEdit, KeystrokePastTheByteLimitIsRefused)
{
    CSjisLineEdit edit;
    edit.SetByteLimit(5);
    edit.setText(QStringLiteral(u"あa")); // 3 bytes
    edit.end(false);
    QTest::keyClicks(&edit, QStringLiteral("bcd"));
    EXPECT_EQ(edit.text(), QStringLiteral(u"あabc")); // the 6th byte was refused

    edit.setText(QStringLiteral(u"ああ")); // 4 bytes: one ASCII letter still fits
    edit.end(false);
    QTest::keyClicks(&edit, QStringLiteral("xy"));
    EXPECT_EQ(edit.text(), QStringLiteral(u"ああx"));
}

TEST(SjisLineEdit, PasteIsTakenWholeOrNotAtAll)
{
    CSjisLineEdit edit;
    edit.SetByteLimit(7);
    edit.setText(QStringLiteral("abc"));
    edit.end(false);
    QApplication::clipboard()->setText(QStringLiteral(u"あいう")); // 6 bytes: 9 in all
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral("abc"));
    QApplication::clipboard()->setText(QStringLiteral(u"あい")); // 4 bytes: exactly 7
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral(u"abcあい"));
}

TEST(SjisLineEdit, CharacterShiftJisCannotHoldIsRefused)
{
    CSjisLineEdit edit;
    edit.SetByteLimit(100);
    edit.setText(QStringLiteral("a"));
    edit.end(false);
    QApplication::clipboard()->setText(QStringLiteral(u"\U0001F600"));
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral("a"));
    QApplication::clipboard()->setText(QStringLiteral(u"ｷｬﾝｾﾙ～①")); // CP932 has all of these
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral(u"aｷｬﾝｾﾙ～①"));
}

TEST(SjisLineEdit, OverlongTextSetByTheProgramIsShownAndCanOnlyShrink)
{
    CSjisLineEdit edit;
    edit.SetByteLimit(4);
    edit.setText(QStringLiteral(u"あいう")); // 6 bytes, shown as given
    EXPECT_EQ(edit.text(), QStringLiteral(u"あいう"));
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_A);
    EXPECT_EQ(edit.text(), QStringLiteral(u"あいう"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), QStringLiteral(u"あい"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClicks(&edit, QStringLiteral("bc"));
    EXPECT_EQ(edit.text(), QStringLiteral(u"あbc"));
}
} // namespace
