// TlsProbe.cpp - the probe's client run and its one-line report.
#include "support/TlsProbe.h"

#include <sstream>

namespace
{
// Reads up to and including LF; the line without CRLF, or false when the peer closed first.
bool ReadLine(ISocket& socket, std::string& strLine)
{
    strLine.clear();
    char c = 0;
    while (socket.Receive(&c, 1) == 1)
    {
        if (c == '\n')
        {
            if (!strLine.empty() && strLine.back() == '\r')
                strLine.pop_back();
            return true;
        }
        strLine.push_back(c);
    }
    return false;
}

bool SendText(ISocket& socket, const std::string& strText)
{
    return socket.Send(strText.data(), static_cast<int>(strText.size())) ==
           static_cast<int>(strText.size());
}
} // namespace

TlsProbeResult ProbeTls(ISocket& socket, const std::string& strAddress, int nPort,
                        const std::string& strTlsHost, const std::string& strCaFile, bool bStartTls)
{
    TlsProbeResult result;
    CTlsSocket tls(socket, strCaFile);
    result.bConnected = tls.Create() && tls.Connect(strAddress, nPort);
    if (!result.bConnected)
        return result;
    std::string strLine;
    tls.BeginReply();
    if (bStartTls)
    {
        const bool bAsked = ReadLine(tls, strLine) && SendText(tls, "STARTTLS\r\n");
        tls.BeginReply();
        if (!bAsked || !ReadLine(tls, strLine))
            return result;
    }
    const bool bHandshake = tls.Handshake(strTlsHost);
    result.failure = tls.Failure();
    result.bEncrypted = tls.IsEncrypted();
    result.strReason = tls.VerifyReason();
    const std::string strSent = std::string(kTlsProbeSecret).append(40000, '.');
    if (bHandshake)
    {
        tls.BeginReply();
        if (ReadLine(tls, strLine) && SendText(tls, strSent + "\r\n"))
        {
            tls.BeginReply();
            ReadLine(tls, strLine);
            result.strEcho =
                strLine == strSent ? std::string(kTlsProbeSecret) : strLine.substr(0, 40);
        }
    }
    tls.Close();
    return result;
}

std::string FormatProbe(const TlsProbeResult& result)
{
    std::ostringstream out;
    out << "probe " << result.bConnected << ' ' << static_cast<int>(result.failure) << ' '
        << result.bEncrypted << " [" << result.strEcho << "] " << result.strReason;
    return out.str();
}

bool ParseProbe(const std::string& strLine, TlsProbeResult& result)
{
    std::istringstream in(strLine);
    std::string strWord;
    int nFailure = 0;
    if (!(in >> strWord >> result.bConnected >> nFailure >> result.bEncrypted) ||
        strWord != "probe")
        return false;
    result.failure = static_cast<TlsFailure>(nFailure);
    const std::size_t nOpen = strLine.find(" [");
    const std::size_t nClose = strLine.find("] ", nOpen);
    if (nOpen == std::string::npos || nClose == std::string::npos)
        return false;
    result.strEcho = strLine.substr(nOpen + 2, nClose - nOpen - 2);
    result.strReason = strLine.substr(nClose + 2);
    return true;
}
