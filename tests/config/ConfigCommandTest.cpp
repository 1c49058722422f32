// ConfigCommandTest.cpp - tarvell-config on a program folder: the sender record as the program
// reads it, books through CSV and back, the CSV rules as the dialogs check them, and the exit
// status of each kind of failure, with nothing written when anything is wrong.
#include "config/ConfigCommand.h"

#include "app/Records.h"
#include "app/TarvellDoc.h"
#include "send/DeliveryFile.h"
#include "app/TextCodec.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"
#include "support/TestBooks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include "config/ExitStatus.h"

namespace
{
struct ConfigRun
{
    int nStatus;
    std::string strOut;
    std::string strErr;
};

ConfigRun Config(const CTempFolder& dir, std::vector<std::string> args,
                 const std::string& strIn = "")
{
    args.insert(args.begin(), {"--dir", dir.Dir()});
    std::istringstream in(strIn);
    std::ostringstream out;
    std::ostringstream err;
    const int nStatus = RunTarvellConfig(args, in, out, err);
    return ConfigRun{nStatus, out.str(), err.str()};
}

std::string Utf8(const std::string& strSjis)
{
    return SjisToUtf8Lossy(strSjis);
}

// Every file of the folder with its bytes.
std::map<std::string, std::string> Files(const CTempFolder& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Dir()))
        files[entry.path().filename().string()] = dir.Read(entry.path().filename().string());
    return files;
}
} // namespace

TEST(ConfigCommand, SenderSetIsReadByTheProgramAndThePasswordComesOnlyFromStandardInput)
{
    CTempFolder dir;
    const ConfigRun set =
        Config(dir,
               {"sender", "set", Utf8("name=送信 太郎"), "address=taro@example.jp",
                "smtp=127.0.0.1:2525", "pop3=[::1]:110", "login=taro", "--password-stdin"},
               "p@ss word\r\nignored\n");
    ASSERT_EQ(set.nStatus, EX_OK) << set.strErr;
    SenderInf sender;
    ASSERT_EQ(LoadSenderFile(dir.Path("SenderInf.tvl"), sender), RecordLoad::Loaded);
    EXPECT_EQ(FieldText(sender.szName), "送信 太郎");
    EXPECT_EQ(FieldText(sender.szPop3Server), "[::1]:110");
    EXPECT_EQ(FieldText(sender.szPassword), "p@ss word");

    const ConfigRun show = Config(dir, {"sender", "show"});
    EXPECT_EQ(show.strOut, Utf8("name=送信 太郎\naddress=taro@example.jp\nsmtp=127.0.0.1:2525\n"
                                "pop3=[::1]:110\nlogin=taro\npassword=****\n"));

    // A password on the command line is refused; one field over its limit stops every change.
    const std::string strBefore = dir.Read("SenderInf.tvl");
    EXPECT_EQ(Config(dir, {"sender", "set", "password=x"}).nStatus, EX_USAGE);
    EXPECT_EQ(Config(dir, {"sender", "set", "--password-stdin"}, std::string()).nStatus,
              EX_NOINPUT);
    const ConfigRun longName =
        Config(dir, {"sender", "set", "login=x", "name=" + std::string(128, 'n')});
    EXPECT_EQ(longName.nStatus, EX_DATAERR);
    EXPECT_NE(longName.strErr.find(Utf8("name: 127 文字以内で入力してください。")),
              std::string::npos)
        << longName.strErr;
    EXPECT_EQ(Config(dir, {"sender", "set", Utf8("name=") + "\xF0\x9F\x93\xA7"}).nStatus,
              EX_DATAERR);
    EXPECT_EQ(dir.Read("SenderInf.tvl"), strBefore);

    // Options keep the window position the program stored.
    CfgData cfg;
    cfg.nWindowLeft = 300;
    SaveCfgFile(dir.Path("Tarvell.cfg"), cfg);
    ASSERT_EQ(Config(dir, {"options", "set", "editor=/usr/bin/vi", "textdir=/srv/mail/"}).nStatus,
              EX_OK);
    ASSERT_EQ(LoadCfgFile(dir.Path("Tarvell.cfg"), cfg), RecordLoad::Loaded);
    EXPECT_EQ(cfg.nWindowLeft, 300);
    EXPECT_EQ(Config(dir, {"options", "show"}).strOut,
              "editor=/usr/bin/vi\ntextdir=/srv/mail/\nbindir=\n");
}

TEST(ConfigCommand, ExportThenImportGivesTheSameBookInBothEncodings)
{
    CTempFolder dir;
    SaveBook(dir.Path("Address.tvl"), BookOf({{"山田 太郎", "yamada@example.jp"},
                                              {"", ""},
                                              {" Smith, \"Jr\" ", "spaced@example.com"},
                                              {"営業部", "@営業部.tvl"},
                                              {"", "only@example.jp"},
                                              {"=HYPERLINK(\"x\")", "-1+1@example.jp"},
                                              {"'quoted", "'=already@example.jp"}}));
    for (const char* pszEncoding : {"utf-8", "cp932"})
    {
        const ConfigRun exported = Config(dir, {"book", "export", "--encoding", pszEncoding});
        ASSERT_EQ(exported.nStatus, EX_OK) << exported.strErr;
        // No cell reaches a spreadsheet as a formula.
        for (const char* pszCell : {",=", ",+", ",-", ",@", "\n=", "\n+", "\n-", "\n@"})
            EXPECT_EQ(exported.strOut.find(pszCell), std::string::npos) << pszCell;
        EXPECT_NE(exported.strOut.find("'@"), std::string::npos);
        dir.Write("book.csv", exported.strOut);
        CTempFolder copy;
        const ConfigRun imported =
            Config(copy, {"book", "import", "Address", dir.Path("book.csv")});
        ASSERT_EQ(imported.nStatus, EX_OK) << imported.strErr;
        EXPECT_EQ(copy.Read("Address.tvl"), dir.Read("Address.tvl")) << pszEncoding;
    }
}

// One CSV import into the group book "@g.tvl", which holds "old" at No. 1 beforehand.
struct CsvCase
{
    CsvCase(const char* pszCaseName, std::string csv, int nExit, std::string expected,
            std::string warning = "")
        : pszName(pszCaseName), strCsv(std::move(csv)), nStatus(nExit),
          strExpected(std::move(expected)), strWarning(std::move(warning))
    {
    }
    const char* pszName;
    std::string strCsv;
    int nStatus;
    std::string strExpected; // on success: "No:name:address" of the last row; else "LINE: text"
    std::string strWarning;  // on success: "LINE: 警告: text" on standard error, or nothing there
};

void PrintTo(const CsvCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

class CsvImport : public testing::TestWithParam<CsvCase>
{
};

TEST_P(CsvImport, ImportsOrRefusesWithTheLineAndWritesNothing)
{
    const CsvCase& c = GetParam();
    CTempFolder dir;
    SaveBook(dir.Path("@g.tvl"), BookOf({{"old", "old@example.jp"}}));
    const std::string strBefore = dir.Read("@g.tvl");
    dir.Write("in.csv", c.strCsv);
    const ConfigRun run = Config(dir, {"book", "import", "@g", dir.Path("in.csv")});
    EXPECT_EQ(run.nStatus, c.nStatus) << run.strErr;
    if (c.nStatus != EX_OK)
    {
        EXPECT_NE(run.strErr.find("in.csv:" + Utf8(c.strExpected)), std::string::npos)
            << run.strErr;
        EXPECT_EQ(dir.Read("@g.tvl"), strBefore);
        return;
    }
    AddressBook book;
    ASSERT_TRUE(LoadBook(dir.Path("@g.tvl"), book));
    const std::size_t nColon = c.strExpected.find(':');
    const int nNo = std::stoi(c.strExpected.substr(0, nColon));
    const AddressEntry& entry = book.entries[nNo - 1];
    EXPECT_EQ(std::to_string(nNo) + ":" + FieldText(entry.szName) + ":" +
                  FieldText(entry.szAddress),
              c.strExpected);
    EXPECT_EQ(FieldText(book.entries[0].szName), "old"); // untouched unless named
    if (c.strWarning.empty())
        EXPECT_EQ(run.strErr, "");
    else
        EXPECT_NE(run.strErr.find("in.csv:" + Utf8(c.strWarning)), std::string::npos) << run.strErr;

    // The same CSV once more changes nothing: rows without a number are not taken in twice.
    const std::string strImported = dir.Read("@g.tvl");
    EXPECT_EQ(Config(dir, {"book", "import", "@g", dir.Path("in.csv")}).nStatus, EX_OK);
    EXPECT_EQ(dir.Read("@g.tvl"), strImported);
}

std::string Rows(int nCount)
{
    std::string strCsv;
    for (int i = 1; i <= nCount; ++i)
        strCsv += ",n" + std::to_string(i) + ",a" + std::to_string(i) + "@example.jp\n";
    return strCsv;
}

std::string Cp932(const std::string& strText)
{
    return strText; // the test's literals are CP932 already
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CsvImport,
    testing::Values(
        CsvCase{"Utf8BomHeaderQuotedComma",
                "\xEF\xBB\xBF" +
                    Utf8("No,氏名,メールアドレス\r\n2,\"山田, 太郎\",y@example.jp\r\n"),
                EX_OK, "2:山田, 太郎:y@example.jp"},
        CsvCase{"Cp932NoHeader", Cp932("3,鈴木 一郎,suzuki@example.jp\r\n"), EX_OK,
                "3:鈴木 一郎:suzuki@example.jp"},
        CsvCase{"EmptyLinesAndNoNumber", "\n" + Utf8("山田,y@example.jp\n\n,,\n"), EX_OK,
                "2:山田:y@example.jp"},
        CsvCase{"FiftyFirstEntry", Rows(50), EX_DATAERR,
                "50: アドレス帳に空きがありません（50 件まで）。"},
        CsvCase{"OverLongName", "4," + std::string(128, 'n') + ",a@example.jp\n", EX_DATAERR,
                "1: 氏名: 127 文字以内で入力してください。"},
        CsvCase{"GroupReferenceInGroupBook", Utf8("a,a@example.jp\n営業,@営業.tvl\n"), EX_DATAERR,
                "2: 「グループアドレス帳」に「グループアドレス帳」を登録することは禁止してます"},
        CsvCase{"NumberOutOfRange", "51,a,b\n", EX_DATAERR,
                "1: No: 1 から 50 までの整数を入力してください。"},
        CsvCase{"NumberNotANumber", "a,b\nx,a,b\n", EX_DATAERR, "2: No: 整数を入力してください。"},
        CsvCase{"QuoteLeftOpen", "1,\"abc,d\n", EX_DATAERR, "1: 引用符 \" が閉じていません。"},
        CsvCase{"CharacterCp932CannotWrite", "1,\xF0\x9F\x93\xA7,a@example.jp\n", EX_DATAERR,
                "1: Shift_JIS で表せない文字は使えません。"},
        CsvCase{"HeaderNameAndAddress", Utf8("氏名,メールアドレス\n山田,y@example.jp\n"), EX_OK,
                "2:山田:y@example.jp"},
        CsvCase{"HeaderShortNames", Utf8("名前,メール\n山田,y@example.jp\n"), EX_OK,
                "2:山田:y@example.jp"},
        CsvCase{"HeaderEnglishQuotedAnyCaseBom",
                "\xEF\xBB\xBF\"NAME\",\"email\"\r\nSmith,s@example.com\r\n", EX_OK,
                "2:Smith:s@example.com"},
        CsvCase{"HeaderNumberFirst", Utf8("NO,名前,アドレス\n5,山田,y@example.jp\n"), EX_OK,
                "5:山田:y@example.jp"},
        CsvCase{"HeaderSwappedColumns", Utf8("No,メールアドレス,氏名\n4,y@example.jp,山田\n"),
                EX_OK, "4:山田:y@example.jp"},
        CsvCase{"HeaderAddressFirst", "E-mail,Name\ny@example.jp,Yamada\n", EX_OK,
                "2:Yamada:y@example.jp"},
        CsvCase{"RowWiderThanHeader", Utf8("氏名,メールアドレス\n3,山田,y@example.jp\n"),
                EX_DATAERR, "2: 列の数が見出し行（2 列）と違います。"},
        CsvCase{"NotAnAddress", "a,not-an-address\n", EX_DATAERR,
                "1: メールアドレスに @ がありません。"},
        CsvCase{"BlankInAddress", "a,a@example.jp\n2,b,a b@example.jp\n", EX_DATAERR,
                "2: メールアドレスに空白や制御文字は使えません。"},
        CsvCase{"NameWithoutAddress", Utf8("3,名前だけ,\n"), EX_DATAERR,
                "1: メールアドレスが空です。"},
        CsvCase{"AddressAlreadyInBook", "x,OLD@example.JP\nnew,new@example.jp\n", EX_OK,
                "2:new:new@example.jp",
                "1: 警告: このアドレスは No. 01 に登録済みのため取り込みません。"},
        CsvCase{"AddressTwiceInTheCsv", "a,a@example.jp\nb,A@Example.jp\n", EX_OK,
                "2:a:a@example.jp",
                "2: 警告: このアドレスは No. 02 に登録済みのため取り込みません。"}),
    [](const testing::TestParamInfo<CsvCase>& paramInfo) {
        return std::string(paramInfo.param.pszName);
    });

TEST(ConfigCommand, EachFailureHasItsExitStatus)
{
    CTempFolder dir;
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    EXPECT_EQ(RunTarvellConfig({"--dir", dir.Path("missing")}, in, out, err), EX_NOINPUT);
    EXPECT_EQ(Config(dir, {}).nStatus, EX_USAGE);
    EXPECT_EQ(Config(dir, {"sender", "set", "colour=red"}).nStatus, EX_USAGE);
    EXPECT_EQ(Config(dir, {"book", "export", "a/b"}).nStatus, EX_USAGE);
    EXPECT_EQ(Config(dir, {"book", "export"}).nStatus, EX_NOINPUT); // no main book yet
    EXPECT_EQ(Config(dir, {"book", "import", dir.Path("none.csv")}).nStatus, EX_NOINPUT);
    dir.Write("Address.tvl", std::string(19199, '\0'));
    EXPECT_EQ(Config(dir, {"book", "export"}).nStatus, EX_DATAERR);
    // A folder where the record should be: the rename over it fails.
    std::filesystem::create_directory(dir.Path("SenderInf.tvl"));
    EXPECT_EQ(Config(dir, {"sender", "set", "login=x"}).nStatus, EX_CANTCREAT);
    EXPECT_EQ(Config(dir, {"--help"}).nStatus, EX_OK);
}

// One tarvell-config run that must be refused, with its status, a part of its message, and
// nothing written: hostile values and the delivery profile's checks.
struct RefusedCase
{
    const char* pszName;
    std::vector<std::string> args;
    std::string strStdin;
    int nStatus;
    std::string strMessage; // UTF-8
};

void PrintTo(const RefusedCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

class Refused : public testing::TestWithParam<RefusedCase>
{
};

TEST_P(Refused, FailsWithItsStatusAndWritesNothing)
{
    const RefusedCase& c = GetParam();
    CTempFolder dir;
    dir.Write("Delivery.ini", "SmtpSecurity=starttls\r\nAuthentication=smtp-auth\r\n");
    SaveBook(dir.Path("Address.tvl"), BookOf({{"old", "old@example.jp"}}));
    const auto before = Files(dir);
    const ConfigRun run = Config(dir, c.args, c.strStdin);
    EXPECT_EQ(run.nStatus, c.nStatus) << run.strErr;
    EXPECT_NE(run.strErr.find(c.strMessage), std::string::npos) << run.strErr;
    EXPECT_EQ(Files(dir), before);
}

const std::string kControl = Utf8("制御文字");

INSTANTIATE_TEST_SUITE_P(
    Rows, Refused,
    testing::Values(RefusedCase{"PasswordWithCr",
                                {"sender", "set", "--password-stdin"},
                                "pa\rss\n",
                                EX_DATAERR,
                                "password: " + kControl},
                    RefusedCase{"PasswordWithNul",
                                {"sender", "set", "--password-stdin"},
                                std::string("pa\0ss\n", 6),
                                EX_DATAERR,
                                "password: " + kControl},
                    RefusedCase{"NameWithEscape",
                                {"sender", "set", "name=a\x1B[2Jb"},
                                "",
                                EX_DATAERR,
                                "name: " + kControl},
                    RefusedCase{"EditorWithTab",
                                {"options", "set", "editor=/usr/bin/vi\t-x"},
                                "",
                                EX_DATAERR,
                                "editor: " + kControl},
                    RefusedCase{"BookNamedLikeTheProfile",
                                {"book", "import", "Delivery.ini", "-"},
                                "1,a,a@example.jp\n",
                                EX_USAGE,
                                "Delivery.ini.tvl: " + Utf8("アドレス帳は Address か @グループ名")},
                    RefusedCase{"BookNamedLikeTheSettings",
                                {"book", "import", "Tarvell.cfg", "-"},
                                "1,a,a@example.jp\n",
                                EX_USAGE,
                                Utf8("アドレス帳は Address か @グループ名")},
                    RefusedCase{"CsvCellWithEscape",
                                {"book", "import", "-"},
                                "1,a\x1B]0;x\x07,a@example.jp\n",
                                EX_DATAERR,
                                "-:1: " + kControl},
                    RefusedCase{"DeliveryUnknownValue",
                                {"delivery", "set", "SmtpSecurity=startls"},
                                "",
                                EX_DATAERR,
                                "SmtpSecurity=startls: "},
                    RefusedCase{"DeliveryEmptyChoice",
                                {"delivery", "set", "PopSecurity="},
                                "",
                                EX_DATAERR,
                                "PopSecurity=: "},
                    RefusedCase{"DeliveryUnknownKey",
                                {"delivery", "set", "smtpsecurity=tls"},
                                "",
                                EX_USAGE,
                                "smtpsecurity: KEY=VALUE"},
                    RefusedCase{
                        "DeliveryOneBadValueStopsAll",
                        {"delivery", "set", "CaFile=/etc/ssl/ca.pem", "Authentication=oauth"},
                        "",
                        EX_DATAERR,
                        "Authentication=oauth"},
                    RefusedCase{"DeliveryCaFileTooLong",
                                {"delivery", "set", "CaFile=/" + std::string(255, 'c')},
                                "",
                                EX_DATAERR,
                                "CaFile: 255 "},
                    RefusedCase{"DeliveryWithoutAssignment",
                                {"delivery", "set"},
                                "",
                                EX_USAGE,
                                "delivery set KEY=VALUE"}),
    [](const testing::TestParamInfo<RefusedCase>& paramInfo) {
        return std::string(paramInfo.param.pszName);
    });

TEST(ConfigCommand, DeliverySetIsReadBackByTheProgramAndShowPrintsIt)
{
    CTempFolder dir;
    ASSERT_EQ(Config(dir, {"delivery", "show"}).strOut,
              "SmtpSecurity=none\nPopSecurity=none\nAuthentication=pop-before-smtp\nCaFile=\n"
              "Charset=iso-2022-jp\n");
    const ConfigRun set = Config(dir, {"delivery", "set", "SmtpSecurity=tls",
                                       "Authentication=smtp-auth", "CaFile=/srv/ca.pem"});
    ASSERT_EQ(set.nStatus, EX_OK) << set.strErr;
    const DeliveryProfile profile = ReadDeliveryProfile(dir.Path("Delivery.ini"));
    EXPECT_EQ(profile.smtp, SmtpSecurity::tls);
    EXPECT_EQ(profile.auth, Authentication::smtpAuth);
    EXPECT_EQ(profile.strCaFile, "/srv/ca.pem");
    EXPECT_EQ(Config(dir, {"delivery", "show"}).strOut,
              "SmtpSecurity=tls\nPopSecurity=none\nAuthentication=smtp-auth\nCaFile=/srv/ca.pem\n"
              "Charset=iso-2022-jp\n");

    // A typo in the file is never turned into "none" by setting another key.
    dir.Write("Delivery.ini", "SmtpSecurity=startls\r\n");
    EXPECT_EQ(Config(dir, {"delivery", "show"}).nStatus, EX_DATAERR);
    EXPECT_EQ(Config(dir, {"delivery", "set", "Authentication=smtp-auth"}).nStatus, EX_DATAERR);
    EXPECT_EQ(dir.Read("Delivery.ini"), "SmtpSecurity=startls\r\n");
    EXPECT_EQ(Config(dir, {"delivery", "set", "SmtpSecurity=starttls"}).nStatus, EX_OK);
    EXPECT_EQ(ReadDeliveryProfile(dir.Path("Delivery.ini")).smtp, SmtpSecurity::starttls);
}

TEST(ConfigCommand, ControlBytesFromRecordsAndFoldersAreShownEscaped)
{
    CTempFolder dir;
    SenderInf sender;
    CopyToField(sender.szName, sizeof(sender.szName), "a\x1B[31mb");
    SaveSenderFile(dir.Path("SenderInf.tvl"), sender);
    const ConfigRun show = Config(dir, {"sender", "show"});
    EXPECT_NE(show.strOut.find("name=a\\x1B[31mb\n"), std::string::npos) << show.strOut;
    EXPECT_EQ(show.strOut.find('\x1B'), std::string::npos);

    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    EXPECT_EQ(RunTarvellConfig({"--dir", "", "sender", "show"}, in, out, err), EX_USAGE);
}

// tarvell-config changes the sender record while Tarvell runs in the folder: tarvell-config says
// so, and Tarvell's close keeps that change unless Tarvell changed the record too and the user
// (asked once) takes Tarvell's version; a run without a display takes the first answer, the disk's.
struct RunningProgramRow
{
    const char* pszName;
    bool bChangedHere;
    int nAnswer;         // the answer to the question, -1: none asked
    const char* pszKept; // the sender's name on disk at the end
};

void PrintTo(const RunningProgramRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class RunningProgram : public testing::TestWithParam<RunningProgramRow>
{
};

TEST_P(RunningProgram, KeepsTheOtherProgramsChangeUnlessTheUserChoosesOtherwise)
{
    const RunningProgramRow& row = GetParam();
    CTempFolder dir;
    ASSERT_EQ(Config(dir, {"sender", "set", "name=first"}).nStatus, EX_OK);
    EXPECT_EQ(Config(dir, {"sender", "set", "name=first"}).strErr, "") << "no Tarvell runs yet";
    CScriptedPlatform platform;
    CTarvellDoc doc(platform, dir.Dir(), "");
    const ConfigRun set = Config(dir, {"sender", "set", "name=config"});
    EXPECT_EQ(set.nStatus, EX_OK);
    EXPECT_NE(set.strErr.find(Utf8("Tarvell が動いています")), std::string::npos) << set.strErr;
    if (row.bChangedHere)
        SetField(doc.m_sender.szName, "program");
    if (row.nAnswer >= 0)
        platform.m_nextChoices.push_back(static_cast<std::size_t>(row.nAnswer));
    doc.SaveRecords();
    EXPECT_EQ(platform.m_questions.size(), row.nAnswer >= 0 ? 1u : 0u);
    SenderInf sender;
    ASSERT_EQ(LoadSenderFile(dir.Path("SenderInf.tvl"), sender), RecordLoad::Loaded);
    EXPECT_EQ(FieldText(sender.szName), row.pszKept);
}

INSTANTIATE_TEST_SUITE_P(
    ConfigCommand, RunningProgram,
    testing::Values(RunningProgramRow{"OnlyTarvellConfigChanged", false, -1, "config"},
                    RunningProgramRow{"BothChangedKeepTheDisk", true, 0, "config"},
                    RunningProgramRow{"BothChangedOverwrite", true, 1, "program"}),
    [](const testing::TestParamInfo<RunningProgramRow>& paramInfo) {
        return paramInfo.param.pszName;
    });
