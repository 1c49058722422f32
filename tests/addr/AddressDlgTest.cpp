// AddressDlgTest.cpp - the address book dialog's logic, driven through a window of plain members:
// modes, registration, the overwrite and save questions, the number checks, and saving on OK.
#include "addr/AddressDlg.h"
#include "addr/GroupBookChoice.h"

#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>

namespace
{
// The dialog's window with its controls as plain values, owning the logic as the real one does.
class CFakeAddressDlg : public IAddressDlgView
{
  public:
    explicit CFakeAddressDlg(IPlatform& platform) : m_logic(platform, *this) {}

    CAddressDlg m_logic;
    std::map<int, std::string> m_fields;
    int m_nFocus = 0;
    int m_nSelectionMark = -1;
    int m_nHotRow = -1;
    int m_nListFills = 0;
    std::string m_strOK = "宛先決定";
    std::string m_strCancel = "宛先ｷｬﾝｾﾙ";
    std::string m_strWindowTitle;
    int m_nEnded = 0;

    std::string Field(int nField) { return m_fields[nField]; }

    void SetFieldText(int nField, const std::string& strText) override
    {
        m_fields[nField] = strText;
    }
    bool GetFieldText(int nField, std::string& strText) override
    {
        strText = m_fields[nField];
        return true;
    }
    void FocusField(int nField) override { m_nFocus = nField; }
    int SelectionMark() const override { return m_nSelectionMark; }
    int HotRow() const override { return m_nHotRow; }
    void ShowEntries(const AddressBook&) override
    {
        ++m_nListFills;
        m_nSelectionMark = -1;
    }
    void SetButtonCaptions(const std::string& strOK, const std::string& strCancel) override
    {
        m_strOK = strOK;
        m_strCancel = strCancel;
    }
    void SetWindowTitle(const std::string& strTitle) override { m_strWindowTitle = strTitle; }
    void EndDialog(int nResult) override { m_nEnded = nResult; }
};

class AddressDlgTest : public ::testing::Test
{
  protected:
    // Every message is recorded and checked; a box without a queued answer gets its first button.
    AddressDlgTest() { m_platform.m_bAllowMessages = true; }

    std::unique_ptr<CFakeAddressDlg> Open(int nMode, const std::string& strBookFile = "")
    {
        auto pDlg = std::make_unique<CFakeAddressDlg>(m_platform);
        pDlg->m_logic.m_nMode = nMode;
        SetField(pDlg->m_logic.m_szBookDir, m_folder.Dir());
        SetField(pDlg->m_logic.m_szBookFile, strBookFile);
        pDlg->m_logic.OnInitDialog();
        return pDlg;
    }

    void WriteBook(const std::string& strName, const AddressBook& book)
    {
        SaveBook(m_folder.Path(strName), book);
    }

    AddressBook ReadBook(const std::string& strName)
    {
        AddressBook book;
        EXPECT_TRUE(LoadBook(m_folder.Path(strName), book));
        return book;
    }

    static void Fill(CFakeAddressDlg& dlg, const std::string& strName, const std::string& strNo,
                     const std::string& strAddress)
    {
        dlg.m_fields[CAddressDlg::IDC_NAME] = strName;
        dlg.m_fields[CAddressDlg::IDC_ENTRY_NO] = strNo;
        dlg.m_fields[CAddressDlg::IDC_ADDRESS] = strAddress;
    }

    CTempFolder m_folder;
    CScriptedPlatform m_platform;
};

AddressBook BookWith(int nNo, const char* pszName, const char* pszAddress)
{
    AddressBook book;
    SetField(book.entries[nNo - 1].szName, pszName);
    SetField(book.entries[nNo - 1].szAddress, pszAddress);
    return book;
}

TEST_F(AddressDlgTest, EachModeHasItsTitleBookAndCaptions)
{
    struct Row
    {
        int nMode;
        const char* pszFile;
        const char* pszTitle;
        const char* pszOK;
        const char* pszCancel;
    };
    const Row rows[] = {
        {0, "@x.tvl", "Tarvell メイン・アドレス帳 - Address.tvl", "宛先決定", "宛先ｷｬﾝｾﾙ"},
        {1, "", "Tarvell メイン・アドレス帳 - Address.tvl", "保存終了", "キャンセル"},
        {10, "@友人.tvl", "Tarvell グループ・アドレス帳 - @友人.tvl", "宛先決定", "宛先ｷｬﾝｾﾙ"},
        {11, "@友人.tvl", "Tarvell グループ・アドレス帳 - @友人.tvl", "保存終了", "キャンセル"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.nMode);
        CFakeAddressDlg before(m_platform);
        before.m_logic.m_nMode = row.nMode;
        SetField(before.m_logic.m_szBookFile, row.pszFile);
        EXPECT_EQ(before.m_logic.Title(), row.pszTitle); // known before the dialog opens

        auto pDlg = Open(row.nMode, row.pszFile);
        EXPECT_EQ(pDlg->m_strWindowTitle, row.pszTitle);
        EXPECT_EQ(pDlg->m_strOK, row.pszOK);
        EXPECT_EQ(pDlg->m_strCancel, row.pszCancel);
        EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ENTRY_NO), "0");
        EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_INFO).substr(0, 12), "※新規登録\r\n");
    }
}

TEST_F(AddressDlgTest, OpeningReadsTheBookOfItsModeAndIgnoresAWrongSizedFile)
{
    WriteBook("Address.tvl", BookWith(3, "山田", "yamada@example.jp"));
    WriteBook("@g.tvl", BookWith(1, "佐藤", "sato@example.jp"));

    auto pMain =
        Open(CAddressDlg::MODE_MAIN_SELECT, "@g.tvl"); // the main modes ignore the caller's name
    EXPECT_STREQ(pMain->m_logic.m_szBookFile, "Address.tvl");
    EXPECT_STREQ(pMain->m_logic.m_book.entries[2].szName, "山田");
    EXPECT_EQ(pMain->m_nListFills, 1);

    auto pGroup = Open(CAddressDlg::MODE_GROUP_EDIT, "@g.tvl");
    EXPECT_STREQ(pGroup->m_logic.m_book.entries[0].szAddress, "sato@example.jp");

    std::string strShort(19199, 'x');
    WriteFileReplacing(m_folder.Path("@short.tvl"), strShort.data(), strShort.size());
    auto pShort = Open(CAddressDlg::MODE_GROUP_SELECT, "@short.tvl");
    for (const AddressEntry& entry : pShort->m_logic.m_book.entries)
        EXPECT_EQ(entry.szName[0], '\0');
    EXPECT_TRUE(m_platform.m_messages.empty());
}

TEST_F(AddressDlgTest, RegisterStoresTheFieldsInMemoryOnly)
{
    auto pDlg = Open(CAddressDlg::MODE_MAIN_EDIT);
    Fill(*pDlg, "鈴木", "7", "suzuki@example.jp");
    pDlg->m_logic.OnRegister();

    EXPECT_STREQ(pDlg->m_logic.m_book.entries[6].szName, "鈴木");
    EXPECT_STREQ(pDlg->m_logic.m_book.entries[6].szAddress, "suzuki@example.jp");
    EXPECT_EQ(pDlg->m_logic.m_bModified, 1);
    EXPECT_EQ(pDlg->m_nListFills, 2);
    EXPECT_FALSE(PathExists(m_folder.Path("Address.tvl"))); // written only by OK
    EXPECT_TRUE(m_platform.m_messages.empty());
}

TEST_F(AddressDlgTest, OverwriteAskedAndDeclinedStillMarksTheBookChanged)
{
    WriteBook("Address.tvl", BookWith(2, "旧", "old@example.jp"));
    auto pDlg = Open(CAddressDlg::MODE_MAIN_SELECT);
    Fill(*pDlg, "新", "2", "new@example.jp");
    m_platform.m_nextAnswers = {MsgResult::Cancel};
    pDlg->m_logic.OnRegister();

    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{"No. 02 へ上書きしようとしています。よろしいでしょうか？"});
    EXPECT_STREQ(pDlg->m_logic.m_book.entries[1].szName, "旧");
    EXPECT_EQ(pDlg->m_logic.m_bModified, 1);

    // ... so a later Cancel in mode 0 asks to save.
    m_platform.m_nextAnswers = {MsgResult::No};
    pDlg->m_logic.OnDestroy();
    EXPECT_EQ(m_platform.m_messages.back(),
              "アドレス帳が更新されています。ディスクに保存しますか？");

    // An accepted overwrite (also of an entry emptied this way) replaces it.
    auto pAgain = Open(CAddressDlg::MODE_MAIN_EDIT);
    Fill(*pAgain, "", "2", "");
    m_platform.m_nextAnswers = {MsgResult::Ok};
    pAgain->m_logic.OnRegister();
    EXPECT_STREQ(pAgain->m_logic.m_book.entries[1].szName, "");
    EXPECT_STREQ(pAgain->m_logic.m_book.entries[1].szAddress, "");
}

TEST_F(AddressDlgTest, NumberFieldIsCheckedBeforeAnythingIsRegistered)
{
    struct Row
    {
        const char* pszNo;
        const char* pszMessage;
    };
    const Row rows[] = {
        {"0", "登録No.0 には登録できません"},
        {"51", "0 から 50 までの整数を入力してください。"},
        {"-1", "0 から 50 までの整数を入力してください。"},
        {"abc", "整数を入力してください。"},
        {"", "整数を入力してください。"},
        {"3x", "整数を入力してください。"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszNo);
        m_platform.m_messages.clear();
        auto pDlg = Open(CAddressDlg::MODE_MAIN_EDIT);
        Fill(*pDlg, "a", row.pszNo, "a@example.jp");
        m_platform.m_nextAnswers = {MsgResult::Ok};
        pDlg->m_logic.OnRegister();
        EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{row.pszMessage});
        EXPECT_EQ(pDlg->m_logic.m_bModified, 0);
        for (const AddressEntry& entry : pDlg->m_logic.m_book.entries)
            EXPECT_EQ(entry.szName[0], '\0');
    }
}

TEST_F(AddressDlgTest, GroupReferenceIsRefusedOnlyWhileAGroupBookIsEdited)
{
    for (int nMode : {0, 1, 10, 11})
    {
        SCOPED_TRACE(nMode);
        m_platform.m_messages.clear();
        auto pDlg = Open(nMode, "@g.tvl");
        Fill(*pDlg, "友人", "1", "@友人.tvl");
        pDlg->m_logic.OnRegister();
        if (nMode == CAddressDlg::MODE_GROUP_EDIT)
        {
            EXPECT_EQ(
                m_platform.m_messages,
                std::vector<std::string>{
                    "「グループアドレス帳」に「グループアドレス帳」を登録することは禁止してます"});
            EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME), "");
            EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ADDRESS), "");
            EXPECT_EQ(pDlg->m_logic.m_book.entries[0].szAddress[0], '\0');
            EXPECT_EQ(pDlg->m_logic.m_bModified, 0);
        }
        else
        {
            EXPECT_TRUE(m_platform.m_messages.empty());
            EXPECT_STREQ(pDlg->m_logic.m_book.entries[0].szAddress, "@友人.tvl");
        }
    }
}

// An address the send would refuse is not registered: the box names the problem, and the
// fields and the entry stay as they were.
struct BadAddressRow
{
    const char* pszName;
    const char* pszEntryName;
    const char* pszAddress;
    const char* pszMessage;
};

void PrintTo(const BadAddressRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class BadAddress : public AddressDlgTest, public testing::WithParamInterface<BadAddressRow>
{
};

TEST_P(BadAddress, IsRefusedWithItsProblemAndTheDialogKeepsItsFields)
{
    const BadAddressRow& row = GetParam();
    WriteBook("Address.tvl", BookWith(3, "旧", "old@example.jp"));
    auto pDlg = Open(CAddressDlg::MODE_MAIN_EDIT);
    Fill(*pDlg, row.pszEntryName, "3", row.pszAddress);
    pDlg->m_logic.OnRegister();
    EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{row.pszMessage});
    EXPECT_EQ(pDlg->m_nFocus, CAddressDlg::IDC_ADDRESS);
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ADDRESS), row.pszAddress);
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME), row.pszEntryName);
    EXPECT_STREQ(pDlg->m_logic.m_book.entries[2].szAddress, "old@example.jp");
    EXPECT_EQ(pDlg->m_logic.m_bModified, 0);
    EXPECT_EQ(pDlg->m_nEnded, 0);
}

INSTANTIATE_TEST_SUITE_P(
    AddressDlgTest, BadAddress,
    testing::Values(
        BadAddressRow{"NoAt", "a", "not-an-address", "メールアドレスに @ がありません。"},
        BadAddressRow{"Blank", "a", "a b@example.jp",
                      "メールアドレスに空白や制御文字は使えません。"},
        BadAddressRow{"NameOnly", "名前だけ", "", "メールアドレスが空です。"},
        BadAddressRow{"TwoAts", "a", "a@b@example.jp", "メールアドレスに @ が二つ以上あります。"}),
    [](const testing::TestParamInfo<BadAddressRow>& paramInfo) { return paramInfo.param.pszName; });

TEST_F(AddressDlgTest, TooLongNamePresetByTheCallerCannotBeRegistered)
{
    auto pDlg = std::make_unique<CFakeAddressDlg>(m_platform);
    SetField(pDlg->m_logic.m_szBookDir, m_folder.Dir());
    for (int i = 0; i < 64; ++i)
        pDlg->m_logic.m_strName += "あ"; // 128 bytes: one over
    pDlg->m_logic.OnInitDialog();
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME).size(), 128u); // shown as given

    pDlg->m_fields[CAddressDlg::IDC_ENTRY_NO] = "5";
    pDlg->m_logic.OnRegister();
    EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{"127 文字以内で入力してください。"});
    EXPECT_EQ(pDlg->m_nFocus, CAddressDlg::IDC_NAME);
    EXPECT_EQ(pDlg->m_logic.m_nNo, 0); // reading stopped before the number
    EXPECT_EQ(pDlg->m_logic.m_book.entries[4].szName[0], '\0');

    // 63 double-byte characters and one ASCII letter are exactly 127 bytes.
    std::string strFits;
    for (int i = 0; i < 63; ++i)
        strFits += "あ";
    strFits += "a";
    pDlg->m_fields[CAddressDlg::IDC_NAME] = strFits;
    pDlg->m_fields[CAddressDlg::IDC_ADDRESS] = "a@example.jp"; // a name alone is not an entry
    pDlg->m_logic.OnRegister();
    EXPECT_EQ(FieldText(pDlg->m_logic.m_book.entries[4].szName), strFits);
}

TEST_F(AddressDlgTest, OkSavesInEveryModeEvenWithoutChangesThenValidates)
{
    for (int nMode : {0, 1, 10, 11})
    {
        SCOPED_TRACE(nMode);
        const std::string strFile = nMode < 10 ? "Address.tvl" : "@新規.tvl";
        std::filesystem::remove(m_folder.Path(strFile));
        auto pDlg = Open(nMode, strFile);
        pDlg->m_logic.OnOK();
        EXPECT_EQ(GetFileSizeOrZero(m_folder.Path(strFile)), 19200);
        EXPECT_EQ(pDlg->m_nEnded, DLG_OK);
    }

    // A field that fails keeps the dialog open, but the book has been saved all the same.
    WriteBook("Address.tvl", BookWith(1, "a", "b"));
    auto pDlg = Open(CAddressDlg::MODE_MAIN_SELECT);
    Fill(*pDlg, "x", "1", "y@example.jp");
    m_platform.m_nextAnswers = {MsgResult::Ok};
    pDlg->m_logic.OnRegister();
    pDlg->m_fields[CAddressDlg::IDC_ENTRY_NO] = "99";
    pDlg->m_logic.OnOK();
    EXPECT_EQ(pDlg->m_nEnded, 0);
    EXPECT_EQ(pDlg->m_logic.m_bModified, 0);
    EXPECT_STREQ(ReadBook("Address.tvl").entries[0].szName, "x");
}

// A book that could not be read (here: a file its user may write but not read) is not saved by
// OK unless an entry was changed, and then only after the question that it will be replaced.
TEST_F(AddressDlgTest, ABookThatCouldNotBeReadIsReplacedOnlyWhenChangedAndAgreed)
{
    const std::string strSkip = NoUnprivilegedUserReason();
    if (!strSkip.empty())
        GTEST_SKIP() << strSkip;
    WriteBook("Address.tvl", BookWith(7, "old", "old@example.jp"));
    std::filesystem::permissions(m_folder.Path("Address.tvl"),
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::owner_write |
                                     std::filesystem::perms::others_write);
    OpenToEveryone(m_folder.Dir());
    const std::string strLog = RunAsNobody([&] {
        std::string strOut;
        auto pUnchanged = Open(CAddressDlg::MODE_MAIN_EDIT);
        pUnchanged->m_logic.OnOK();
        strOut += "unchanged: errors " + std::to_string(m_platform.m_fileErrors.size()) +
                  " questions " + std::to_string(m_platform.m_messages.size()) + " ended " +
                  std::to_string(pUnchanged->m_nEnded) + "\n";
        auto pChanged = Open(CAddressDlg::MODE_MAIN_SELECT);
        Fill(*pChanged, "new", "1", "new@example.jp");
        pChanged->m_logic.OnRegister();
        m_platform.m_nextAnswers = {MsgResult::No};
        pChanged->m_logic.OnOK();
        strOut += "declined: ended " + std::to_string(pChanged->m_nEnded) + "\n";
        m_platform.m_nextAnswers = {MsgResult::Yes};
        pChanged->m_logic.OnOK();
        strOut += "agreed: ended " + std::to_string(pChanged->m_nEnded) + " errors " +
                  std::to_string(m_platform.m_fileErrors.size()) + "\n";
        for (const std::string& strMessage : m_platform.m_messages)
            strOut += strMessage + "\n";
        return strOut;
    });
    const std::string strQuestion = "アドレス帳ファイルを読み込めませんでした。保存すると、"
                                    "ディスク上のファイルがこの内容で置き換えられます。"
                                    "保存しますか？\n";
    EXPECT_EQ(strLog, "unchanged: errors 1 questions 0 ended 1\n"
                      "declined: ended 0\n"
                      "agreed: ended 1 errors 2\n" +
                          strQuestion + strQuestion);
    const AddressBook book = ReadBook("Address.tvl");
    EXPECT_STREQ(book.entries[0].szName, "new");
    EXPECT_STREQ(book.entries[6].szName, "");
}

TEST_F(AddressDlgTest, FailedSaveOnOkKeepsTheDialogOpenAndTheBookMarked)
{
    auto pDlg = Open(CAddressDlg::MODE_MAIN_SELECT);
    Fill(*pDlg, "x", "1", "y@example.jp");
    pDlg->m_logic.OnRegister();
    SetField(pDlg->m_logic.m_szBookDir, m_folder.Path("missing/"));
    pDlg->m_logic.OnOK();
    EXPECT_EQ(m_platform.m_fileErrors.size(), 1u);
    EXPECT_EQ(pDlg->m_nEnded, 0);
    EXPECT_EQ(pDlg->m_logic.m_bModified, 1);
}

TEST_F(AddressDlgTest, SaveQuestionComesOnlyInMainBookPickMode)
{
    for (int nMode : {0, 1, 10, 11})
    {
        for (MsgResult answer : {MsgResult::Yes, MsgResult::No})
        {
            SCOPED_TRACE(nMode);
            const std::string strFile = nMode < 10 ? "Address.tvl" : "@g.tvl";
            std::filesystem::remove(m_folder.Path(strFile));
            m_platform.m_messages.clear();
            auto pDlg = Open(nMode, strFile);
            Fill(*pDlg, "x", "1", "y@example.jp");
            pDlg->m_logic.OnRegister();
            if (nMode == 0)
                m_platform.m_nextAnswers = {answer};
            pDlg->m_logic.OnDestroy(); // closed with Cancel
            const bool bSaved = nMode == 0 && answer == MsgResult::Yes;
            EXPECT_EQ(m_platform.m_messages.size(), nMode == 0 ? 1u : 0u);
            EXPECT_EQ(PathExists(m_folder.Path(strFile)), bSaved);
        }
    }
}

TEST_F(AddressDlgTest, SelectTakesTheMarkedRowAndDoubleClickTheRowUnderTheCursor)
{
    AddressBook book = BookWith(3, "三", "3@example.jp");
    SetField(book.entries[9].szName, "十");
    WriteBook("Address.tvl", book);
    auto pDlg = Open(CAddressDlg::MODE_MAIN_SELECT);
    Fill(*pDlg, "typed", "0", "typed@example.jp");

    pDlg->m_logic.OnSelect(); // no row marked: number 0, the typed fields stay
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ENTRY_NO), "0");
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME), "typed");

    pDlg->m_nSelectionMark = 2;
    pDlg->m_logic.OnSelect();
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ENTRY_NO), "3");
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME), "三");
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ADDRESS), "3@example.jp");

    pDlg->m_nHotRow = 9;
    pDlg->m_logic.OnDblClkList();
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ENTRY_NO), "10");
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME), "十");
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ADDRESS), "");
    EXPECT_EQ(pDlg->m_nEnded, 0); // a double click does not close

    pDlg->m_logic.OnClear();
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME), "");
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ENTRY_NO), "10");
}

TEST_F(AddressDlgTest, BrowsePutsTheChosenFileNameWithoutFolderIntoTheAddress)
{
    auto pDlg = Open(CAddressDlg::MODE_MAIN_EDIT);
    Fill(*pDlg, "友人", "0", "");
    m_platform.m_nextFiles = {FileDialogResult{true, "/elsewhere/@友人.tvl", "@友人.tvl"},
                              FileDialogResult{}};
    pDlg->m_logic.OnBrowse();
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ADDRESS), "@友人.tvl");
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_NAME), "友人");
    const FileDialogRequest& request = m_platform.m_fileDialogs.at(0);
    EXPECT_EQ(request.strFilter, "グループアドレス帳(@*.tvl)|@*.tvl||");
    EXPECT_EQ(request.strDefaultExt, "tvl");
    EXPECT_EQ(request.strStartDir, m_folder.Dir());
    EXPECT_TRUE(request.bMustExist);

    pDlg->m_logic.OnBrowse(); // cancelled: nothing changes
    EXPECT_EQ(pDlg->Field(CAddressDlg::IDC_ADDRESS), "@友人.tvl");
}

TEST(DataExchange, IntegerFieldsReadAsTheDialogManagerReadsThem)
{
    struct Row
    {
        const char* pszText;
        bool bOk;
        int nValue;
    };
    const Row rows[] = {
        {"12", true, 12},
        {" 7 ", true, 7},
        {"+3", true, 3},
        {"-0", true, 0},
        {"", false, 0},
        {" ", false, 0},
        {"1 2", false, 0},
        {"0x1", false, 0},
        {"１", false, 0},
        {"99999999999", false, 0},
        {"-2147483648", true, -2147483647 - 1},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszText);
        int nValue = 0;
        EXPECT_EQ(ParseIntField(row.pszText, nValue), row.bOk);
        if (row.bOk)
        {
            EXPECT_EQ(nValue, row.nValue);
        }
    }
}
} // namespace

namespace
{
// The group book's name as the file dialog gave it, and as the program keeps it: a name without
// an extension gets ".tvl" (the group address names the book with it), any other stays as it is.
struct GroupBookNameRow
{
    const char* pszLabel;
    const char* pszChosen;
    const char* pszKept;
};

void PrintTo(const GroupBookNameRow& row, std::ostream* pOut)
{
    *pOut << row.pszLabel;
}

class GroupBookNameTest : public ::testing::TestWithParam<GroupBookNameRow>
{
};

TEST_P(GroupBookNameTest, KeptWithTheBooksExtension)
{
    CScriptedPlatform platform;
    platform.m_nextFiles.push_back({true, "", GetParam().pszChosen});
    const std::optional<std::string> book =
        ChooseGroupBook(platform, "", GroupBookChoice::NewOrOld);
    ASSERT_TRUE(book.has_value());
    EXPECT_EQ(*book, GetParam().pszKept);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GroupBookNameTest,
    ::testing::Values(GroupBookNameRow{"WithoutExtension", "@会員", "@会員.tvl"},
                      GroupBookNameRow{"WithExtension", "@会員.tvl", "@会員.tvl"},
                      GroupBookNameRow{"OtherExtension", "@会員.bak", "@会員.bak"}),
    [](const testing::TestParamInfo<GroupBookNameRow>& paramInfo) {
        return std::string(paramInfo.param.pszLabel);
    });
} // namespace
