// SendFixture.h - a program folder in /tmp with its document and send form, driven through the
// scripted platform, and helpers to read what the send procedure left on disk.
#pragma once
#include "app/Sjis.h"
#include "app/TarvellDoc.h"
#include "app/TextCodec.h"
#include "send/SendForm.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class SendFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_strAppDir = m_temp.Dir();
        MakeForm(m_strAppDir, "");
    }

    // A document in strAppDir (CP932, ending in "/") with the command line strCmdLine.
    void MakeForm(const std::string& strAppDir, const std::string& strCmdLine)
    {
        m_pForm.reset();
        m_pDoc = std::make_unique<CTarvellDoc>(m_platform, strAppDir, strCmdLine);
        m_pForm = std::make_unique<CSendForm>(*m_pDoc, m_platform);
    }

    // The path as the standard library takes it: from UTF-8, so that Japanese names reach
    // Windows' wide calls intact, not through the ANSI code page.
    static std::filesystem::path OsPath(const std::string& strSjis)
    {
        std::string os;
        EXPECT_TRUE(SjisToUtf8(strSjis, os)) << strSjis;
        return std::filesystem::path(std::u8string(os.begin(), os.end()));
    }

    // Files below the program folder; names and contents are CP932.
    // The sender record of the tests that send to a fake server at strHostPort.
    void SetSender(const std::string& strHostPort)
    {
        SenderInf& sender = m_pDoc->m_sender;
        SetField(sender.szName, "差出人");
        SetField(sender.szMailAddress, "from@example.jp");
        SetField(sender.szSmtpServer, strHostPort);
        SetField(sender.szPop3Server, strHostPort);
        SetField(sender.szLoginName, "login");
        SetField(sender.szPassword, "secret");
    }

    void Write(const std::string& strRel, const std::string& bytes)
    {
        std::ofstream(OsPath(m_strAppDir + strRel), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& strRel)
    {
        std::ifstream in(OsPath(m_strAppDir + strRel), std::ios::binary);
        EXPECT_TRUE(in.good()) << "missing: " << strRel;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The sorted names in a folder of the program folder, as CP932.
    std::vector<std::string> Files(const std::string& strFolder)
    {
        std::vector<std::string> names;
        for (const auto& item :
             std::filesystem::directory_iterator(OsPath(m_strAppDir + strFolder)))
        {
            const std::u8string name = item.path().filename().u8string();
            std::string strName;
            EXPECT_TRUE(Utf8ToSjis(std::string(name.begin(), name.end()), strName));
            names.push_back(strName);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The form's strings for one send.
    void FillForm(const std::string& strName, const std::string& strAddress,
                  const std::string& strTitle, const std::string& strTextFile,
                  const std::string& strBinFile = "")
    {
        m_pForm->SetField(FormField::ToName, strName);
        m_pForm->SetField(FormField::ToAddress, strAddress);
        m_pForm->SetField(FormField::Title, strTitle);
        m_pForm->SetField(FormField::TextFile, strTextFile);
        m_pForm->SetField(FormField::BinFile, strBinFile);
    }

    // A log entry as the log holds it.
    static std::string LogEntry(bool bSent, const std::string& strWhen, const std::string& strName,
                                const std::string& strAddress, const std::string& strTitle,
                                const std::string& strTextFile, const std::string& strBinFile)
    {
        return std::string(bSent ? "☆ [送信成功]  " : "★ [送信失敗]  ") + strWhen + "\r\n" +
               "　　　宛先名: " + strName + "\r\n" + "宛先アドレス: " + strAddress + "\r\n" +
               "　　タイトル: " + strTitle + "\r\n" + "本文ファイル: " + strTextFile + "\r\n" +
               "添付ファイル: " + strBinFile + "\r\n\r\n";
    }

    CTempFolder m_temp;
    CScriptedPlatform m_platform;
    std::string m_strAppDir;
    std::unique_ptr<CTarvellDoc> m_pDoc;
    std::unique_ptr<CSendForm> m_pForm;
};

// The scripted clock's default moment, as the log writes it.
inline const char* const DEFAULT_WHEN = "2004年07月05日 09時05分03秒";
inline const char* const DEFAULT_STAMP = "20040705_090503";
