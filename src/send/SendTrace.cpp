// SendTrace.cpp - the send trace file.
#include "send/SendTrace.h"

#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/TextCodec.h"

#include <cstdio>

CSendTrace::CSendTrace(IPlatform& platform, std::string strPath)
    : m_platform(platform), m_strPath(std::move(strPath))
{
    try
    {
        EmptyPrivateFile(m_strPath);
    }
    catch (const CFileException& e)
    {
        m_bFailed = true;
        const std::string strLine = "Tarvell: " + SjisToUtf8Lossy(FileErrorText(e)) + "\n";
        std::fwrite(strLine.data(), 1, strLine.size(), stderr);
    }
}

void CSendTrace::Append(const std::string& strText)
{
    if (m_bFailed)
        return;
    try
    {
        AppendToFile(m_strPath, strText.data(), strText.size());
    }
    catch (const CFileException& e)
    {
        m_bFailed = true; // reported once; the send goes on without its trace
        const std::string strLine = "Tarvell: " + SjisToUtf8Lossy(FileErrorText(e)) + "\n";
        std::fwrite(strLine.data(), 1, strLine.size(), stderr);
    }
}

void CSendTrace::WriteLines(const char* pszMark, std::string_view bytes)
{
    const std::string strStamp = FormatLocalTime(m_platform.Now(), "%H:%M:%S ") + pszMark;
    std::string strText;
    while (!bytes.empty())
    {
        const std::size_t nEnd = bytes.find('\n');
        std::string_view line = bytes.substr(0, nEnd);
        bytes = nEnd == std::string_view::npos ? std::string_view() : bytes.substr(nEnd + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        strText += strStamp;
        strText += line;
        strText += "\r\n";
    }
    Append(strText);
}

void CSendTrace::BeginAttempt(const std::string& strName, const std::string& strAddress)
{
    Append("---- " + FormatLocalTime(m_platform.Now(), "%Y-%m-%d %H:%M:%S ") + strName + " <" +
           strAddress + "> ----\r\n");
}

void CSendTrace::Note(const std::string& strText)
{
    WriteLines("-- ", strText);
}

void CSendTrace::Connected(const std::string& strHost, int nPort, bool bOpen)
{
    Note((bOpen ? "接続 " : "接続失敗 ") + strHost + ":" + std::to_string(nPort));
}

void CSendTrace::Sent(std::string_view bytes)
{
    WriteLines("C: ", bytes);
}

void CSendTrace::SentSecret(std::string_view shown, std::size_t nHidden)
{
    WriteLines("C: ", std::string(shown) + (nHidden > 0 ? "********" : ""));
}

void CSendTrace::SentData(std::size_t nBytes)
{
    Note("(本文 " + std::to_string(nBytes) + " バイト)");
}

void CSendTrace::Received(std::string_view bytes)
{
    WriteLines("S: ", bytes);
}

void CSendTrace::Closed()
{
    Note("切断");
}
