// MailDrop.cpp - the fake server pair of programs tested from outside.
#include "support/MailDrop.h"

#include "app/FileSystem.h"

#include <cctype>
#include <utility>

namespace
{
// The command's verb in capitals ("RCPT" of "rcpt to:<a@b>").
std::string Verb(const std::string& strLine)
{
    std::string strVerb = strLine.substr(0, strLine.find(' '));
    for (char& c : strVerb)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return strVerb;
}

ServerTurn Pop3Turn(const std::string& strLine)
{
    if (Verb(strLine) == "QUIT")
        return {"+OK bye\r\n", false, true};
    return {"+OK\r\n"};
}
} // namespace

CMailDrop::CMailDrop(std::string strFolder) : m_strFolder(std::move(strFolder))
{
    CServerScript pop;
    pop.Say("+OK fake POP3 ready\r\n").Respond([](const std::string& strLine, bool) {
        return Pop3Turn(strLine);
    });
    m_pop.AddConnection(pop);
    m_pop.SetRepeat(true);
    m_smtp.SetScriptSource([this](std::size_t) { return SmtpScript(); });
    const std::string strPorts =
        std::to_string(PopPort()).append(" ").append(std::to_string(SmtpPort())).append("\n");
    WriteFileReplacing(std::string(m_strFolder).append("ports"), strPorts.data(), strPorts.size());
}

CServerScript CMailDrop::SmtpScript()
{
    const std::string strModePath = std::string(m_strFolder).append("mode");
    std::string strMode = IsRegularFile(strModePath) ? ReadWholeFile(strModePath, 1024) : "";
    while (!strMode.empty() && std::isspace(static_cast<unsigned char>(strMode.back())))
        strMode.pop_back();
    CServerScript script;
    if (strMode == "hang")
        return script.Silent();
    script.Say("220 fake ESMTP ready\r\n")
        .Respond([this, strMode](const std::string& strInput, bool bIsData) {
            return SmtpTurn(strMode, strInput, bIsData);
        });
    return script;
}

ServerTurn CMailDrop::SmtpTurn(const std::string& strMode, const std::string& strInput,
                               bool bIsData)
{
    if (bIsData)
    {
        const std::string strPath = std::string(m_strFolder)
                                        .append("mail-")
                                        .append(std::to_string(++m_nMessages))
                                        .append(".eml");
        try
        {
            WriteFileReplacing(strPath, strInput.data(), strInput.size());
        }
        catch (const CFileException&)
        {
            return {"451 4.3.0 cannot keep the message\r\n"};
        }
        return {"250 kept\r\n"};
    }
    const std::string strVerb = Verb(strInput);
    if (strVerb == "DATA")
        return {"354 go on\r\n", true};
    if (strVerb == "QUIT")
        return {"221 bye\r\n", false, true};
    const bool bRefuseOne = strMode.rfind("refuse ", 0) == 0;
    const std::string strRefused = std::string("<").append(strMode, bRefuseOne ? 7 : 0).append(">");
    if (strVerb == "RCPT" &&
        (strMode == "refuse" || (bRefuseOne && strInput.find(strRefused) != std::string::npos)))
        return {"550 5.1.1 no such user here\r\n"};
    return {"250 ok\r\n"};
}
