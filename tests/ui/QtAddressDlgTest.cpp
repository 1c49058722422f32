// QtAddressDlgTest.cpp - the address book dialog's window: the list of 50 rows and its columns,
// selecting by button and by double click, the number's up-down control, the keyboard's OK and
// Cancel, and the save question when a changed main book is cancelled.
#include "ui/QtAddressDlg.h"

#include "UiTest.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "ui/SjisLineEdit.h"

#include <filesystem>

#include <QApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace
{
class QtAddressDlgTest : public UiTest
{
  protected:
    // A dialog on the program folder's main book, opened without waiting.
    std::unique_ptr<CQtAddressDlg> OpenDlg(int nMode)
    {
        auto pDlg = std::make_unique<CQtAddressDlg>(m_platform);
        pDlg->m_logic.m_nMode = nMode;
        SetField(pDlg->m_logic.m_szBookDir, m_folder.Dir());
        SetField(pDlg->m_logic.m_szBookFile, "@g.tvl");
        pDlg->Open();
        return pDlg;
    }

    void SaveMainBook()
    {
        AddressBook book;
        SetField(book.entries[0].szName, SJ(u"山田"));
        SetField(book.entries[0].szAddress, "yamada@example.jp");
        SetField(book.entries[2].szName, SJ(u"三番"));
        SetField(book.entries[49].szName, SJ(u"最後"));
        SaveBook(m_folder.Path("Address.tvl"), book);
    }
};

TEST_F(QtAddressDlgTest, ListShowsFiftyNumberedRowsInColumnsOfOneThreeAndSixTenths)
{
    SaveMainBook();
    auto pDlg = OpenDlg(CAddressDlg::MODE_MAIN_SELECT);
    auto* pList = Child<QTreeWidget>(*pDlg, "m_listBook");
    ASSERT_EQ(pList->topLevelItemCount(), 50);
    EXPECT_EQ(pList->topLevelItem(0)->text(0), QStringLiteral("01"));
    EXPECT_EQ(pList->topLevelItem(0)->text(1), QStringLiteral(u"山田"));
    EXPECT_EQ(pList->topLevelItem(0)->text(2), QStringLiteral("yamada@example.jp"));
    EXPECT_EQ(pList->topLevelItem(49)->text(0), QStringLiteral("50"));
    EXPECT_EQ(pList->topLevelItem(49)->text(1), QStringLiteral(u"最後"));
    EXPECT_EQ(pList->headerItem()->text(2), QStringLiteral(u"メールアドレス"));
    const int w = pList->columnWidth(0);
    EXPECT_GT(w, 0);
    EXPECT_EQ(pList->columnWidth(1), 3 * w);
    EXPECT_EQ(pList->columnWidth(2), 6 * w);
    EXPECT_TRUE(Child<QPlainTextEdit>(*pDlg, "m_strInfo")->isReadOnly());
    EXPECT_TRUE(Child<QPlainTextEdit>(*pDlg, "m_strInfo")
                    ->toPlainText()
                    .startsWith(QStringLiteral(u"※新規登録\n")));
    EXPECT_EQ(Child<CSjisLineEdit>(*pDlg, "m_strName")->ByteLimit(), 127);
    EXPECT_EQ(Child<CSjisLineEdit>(*pDlg, "m_strAddress")->ByteLimit(), 255);
    EXPECT_EQ(pDlg->windowTitle(), QStringLiteral(u"Tarvell メイン・アドレス帳 - Address.tvl"));
}

TEST_F(QtAddressDlgTest, SelectButtonTakesTheMarkedRowAndDoubleClickTheRowUnderTheMouse)
{
    SaveMainBook();
    auto pDlg = OpenDlg(CAddressDlg::MODE_MAIN_SELECT);
    auto* pList = Child<QTreeWidget>(*pDlg, "m_listBook");

    Click(*pDlg, "m_btnSelect"); // nothing marked yet
    EXPECT_EQ(Text(*pDlg, "m_nNo"), QStringLiteral("0"));

    pList->setCurrentItem(pList->topLevelItem(0));
    pList->clearSelection(); // the mark stays on the row last selected
    Click(*pDlg, "m_btnSelect");
    EXPECT_EQ(Text(*pDlg, "m_nNo"), QStringLiteral("1"));
    EXPECT_EQ(Text(*pDlg, "m_strName"), QStringLiteral(u"山田"));

    QApplication::processEvents(); // lays the rows out
    const QRect rect = pList->visualItemRect(pList->topLevelItem(2));
    ASSERT_FALSE(rect.isEmpty());
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(pList->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    EXPECT_EQ(Text(*pDlg, "m_nNo"), QStringLiteral("3"));
    EXPECT_EQ(Text(*pDlg, "m_strName"), QStringLiteral(u"三番"));
    EXPECT_TRUE(pDlg->isVisible()); // a double click does not close
}

TEST_F(QtAddressDlgTest, UpDownStepsTheNumberWithinZeroToFifty)
{
    auto pDlg = OpenDlg(CAddressDlg::MODE_MAIN_EDIT);
    QWidget* pSpin = Child<QWidget>(*pDlg, "m_spinNo");
    Click(*pSpin, "m_btnDown");
    EXPECT_EQ(Text(*pDlg, "m_nNo"), QStringLiteral("0"));
    Click(*pSpin, "m_btnUp");
    Click(*pSpin, "m_btnUp");
    EXPECT_EQ(Text(*pDlg, "m_nNo"), QStringLiteral("2"));
    SetText(*pDlg, "m_nNo", QStringLiteral("50"));
    QTest::keyClick(Child<QLineEdit>(*pDlg, "m_nNo"), Qt::Key_Up);
    EXPECT_EQ(Text(*pDlg, "m_nNo"), QStringLiteral("50"));
    QTest::keyClick(Child<QLineEdit>(*pDlg, "m_nNo"), Qt::Key_Down);
    EXPECT_EQ(Text(*pDlg, "m_nNo"), QStringLiteral("49"));

    // Numbers typed far outside the range step back into it, without overflowing.
    const struct
    {
        const char* pszTyped;
        const char* pszButton;
        const char* pszShown;
    } rows[] = {{"2147483647", "m_btnUp", "50"},
                {"-2147483648", "m_btnDown", "0"},
                {"99999999999", "m_btnUp", "50"},
                {"x", "m_btnUp", "0"}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszTyped);
        SetText(*pDlg, "m_nNo", QLatin1String(row.pszTyped));
        Click(*pSpin, row.pszButton);
        EXPECT_EQ(Text(*pDlg, "m_nNo"), QLatin1String(row.pszShown));
    }
}

TEST_F(QtAddressDlgTest, EnterIsOkAndEscapeCancelsWithoutChecks)
{
    auto pDlg = OpenDlg(CAddressDlg::MODE_GROUP_SELECT);
    SetText(*pDlg, "m_nNo", QStringLiteral("x"));
    QTest::keyClick(pDlg.get(), Qt::Key_Escape);
    EXPECT_EQ(pDlg->Finish(), DLG_CANCEL);
    EXPECT_TRUE(m_platform.m_messages.empty());

    auto pOk = OpenDlg(CAddressDlg::MODE_GROUP_SELECT);
    SetText(*pOk, "m_strName", QStringLiteral(u"直接入力"));
    SetText(*pOk, "m_strAddress", QStringLiteral("typed@example.jp"));
    QTest::keyClick(Child<QLineEdit>(*pOk, "m_strAddress"), Qt::Key_Return);
    EXPECT_EQ(pOk->Finish(), DLG_OK);
    EXPECT_EQ(pOk->m_logic.m_strName, SJ(u"直接入力")); // the typed values come back
    EXPECT_EQ(pOk->m_logic.m_strAddress, "typed@example.jp");
}

TEST_F(QtAddressDlgTest, CancelAfterARegistrationAsksToSaveInMode0Only)
{
    for (int nMode : {0, 1})
    {
        std::filesystem::remove(m_folder.Path("Address.tvl"));
        m_platform.m_messages.clear();
        auto pDlg = OpenDlg(nMode);
        SetText(*pDlg, "m_strName", QStringLiteral("a"));
        SetText(*pDlg, "m_strAddress", QStringLiteral("a@example.jp"));
        SetText(*pDlg, "m_nNo", QStringLiteral("3"));
        Click(*pDlg, "m_btnRegister");
        EXPECT_EQ(Child<QTreeWidget>(*pDlg, "m_listBook")->topLevelItem(2)->text(1),
                  QStringLiteral("a"));
        Click(*pDlg, "m_btnCancel");
        m_platform.m_nextAnswers = {MsgResult::Yes};
        EXPECT_EQ(pDlg->Finish(), DLG_CANCEL);
        if (nMode == 0)
        {
            EXPECT_EQ(m_platform.m_messages,
                      std::vector<std::string>{
                          SJ(u"アドレス帳が更新されています。ディスクに保存しますか？")});
            EXPECT_EQ(GetFileSizeOrZero(m_folder.Path("Address.tvl")), 19200);
        }
        else
        {
            EXPECT_TRUE(m_platform.m_messages.empty());
            EXPECT_FALSE(PathExists(m_folder.Path("Address.tvl")));
            m_platform.m_nextAnswers.clear();
        }
    }
}
} // namespace
