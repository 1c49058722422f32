// OAuthHttp.cpp - POST of a form over TLS and the reply's parse.
#include "mail/OAuthHttp.h"

#include "mail/TlsSocket.h"

#include <cstdlib>
#include <memory>

namespace
{
bool IsPrintableAscii(const std::string& strText)
{
    for (const char c : strText)
        if (c < 0x21 || c > 0x7E)
            return false;
    return true;
}

std::string Lower(std::string strText)
{
    for (char& c : strText)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return strText;
}

bool ParsePort(const std::string& strDigits, int& nPort)
{
    if (strDigits.empty() || strDigits.size() > 5 ||
        strDigits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    nPort = std::atoi(strDigits.c_str());
    return nPort > 0 && nPort < 65536;
}

// The chunks of a chunked body; false when they do not add up.
bool Unchunk(const std::string& strRaw, std::size_t nAt, std::string& strBody)
{
    for (;;)
    {
        const std::size_t nEnd = strRaw.find("\r\n", nAt);
        if (nEnd == std::string::npos)
            return false;
        const std::string strSize = strRaw.substr(nAt, strRaw.find_first_of(";\r", nAt) - nAt);
        if (strSize.empty() || strSize.size() > 6 ||
            strSize.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        const std::size_t nSize = std::strtoul(strSize.c_str(), nullptr, 16);
        nAt = nEnd + 2;
        if (nSize == 0)
            return true; // trailers, if any, are not needed
        if (strRaw.size() < nAt + nSize + 2 || strRaw.compare(nAt + nSize, 2, "\r\n") != 0)
            return false;
        strBody.append(strRaw, nAt, nSize);
        nAt += nSize + 2;
    }
}
} // namespace

bool ParseHttpsUrl(const std::string& strUrl, HttpsUrl& url)
{
    const std::string strScheme = "https://";
    if (Lower(strUrl.substr(0, strScheme.size())) != strScheme || !IsPrintableAscii(strUrl))
        return false;
    const std::size_t nAuthority = strScheme.size();
    std::size_t nPath = strUrl.find_first_of("/?#", nAuthority);
    if (nPath == std::string::npos)
        nPath = strUrl.size();
    std::string strAuthority = strUrl.substr(nAuthority, nPath - nAuthority);
    if (strAuthority.find('@') != std::string::npos || strUrl.find('#') != std::string::npos)
        return false; // no user in a token URL, and fragments are never sent
    url = HttpsUrl();
    std::string strPort;
    if (!strAuthority.empty() && strAuthority[0] == '[')
    {
        const std::size_t nClose = strAuthority.find(']');
        if (nClose == std::string::npos)
            return false;
        url.strHost = strAuthority.substr(1, nClose - 1);
        if (nClose + 1 < strAuthority.size())
        {
            if (strAuthority[nClose + 1] != ':')
                return false;
            strPort = strAuthority.substr(nClose + 2);
            if (strPort.empty())
                return false;
        }
    }
    else
    {
        const std::size_t nColon = strAuthority.find(':');
        url.strHost = strAuthority.substr(0, nColon);
        if (nColon != std::string::npos)
        {
            strPort = strAuthority.substr(nColon + 1);
            if (strPort.empty())
                return false;
        }
    }
    if (url.strHost.empty() || (!strPort.empty() && !ParsePort(strPort, url.nPort)))
        return false;
    std::string strPath(1, '/');
    if (nPath < strUrl.size())
        strPath.append(strUrl, strUrl[nPath] == '/' ? nPath + 1 : nPath);
    url.strPath.swap(strPath);
    return true;
}

std::string PercentEncode(const std::string& strText)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    for (const char c : strText)
    {
        const auto uc = static_cast<unsigned char>(c);
        if ((uc >= 'a' && uc <= 'z') || (uc >= 'A' && uc <= 'Z') || (uc >= '0' && uc <= '9') ||
            uc == '-' || uc == '.' || uc == '_' || uc == '~')
            strOut += c;
        else
            strOut.append(1, '%').append(1, kHex[uc >> 4]).append(1, kHex[uc & 0x0F]);
    }
    return strOut;
}

std::string FormEncode(const std::vector<std::pair<std::string, std::string>>& fields)
{
    std::string strForm;
    for (const auto& [strName, strValue] : fields)
    {
        if (!strForm.empty())
            strForm += '&';
        strForm.append(PercentEncode(strName)).append("=").append(PercentEncode(strValue));
    }
    return strForm;
}

bool ParseHttpReply(const std::string& strRaw, HttpReply& reply)
{
    reply = HttpReply();
    const std::size_t nHeadEnd = strRaw.find("\r\n\r\n");
    if (strRaw.rfind("HTTP/1.", 0) != 0 || strRaw.size() < 12 || strRaw[8] != ' ' ||
        nHeadEnd == std::string::npos)
        return false;
    const std::string strCode = strRaw.substr(9, 3);
    if (strCode.find_first_not_of("0123456789") != std::string::npos)
        return false;
    reply.nStatus = std::atoi(strCode.c_str());
    bool bChunked = false;
    std::string strLength;
    std::size_t nAt = strRaw.find("\r\n") + 2;
    while (nAt < nHeadEnd + 2)
    {
        const std::size_t nEnd = strRaw.find("\r\n", nAt);
        const std::string strLine = strRaw.substr(nAt, nEnd - nAt);
        nAt = nEnd + 2;
        const std::size_t nColon = strLine.find(':');
        if (nColon == std::string::npos)
            continue;
        const std::string strName = Lower(strLine.substr(0, nColon));
        std::string strValue = strLine.substr(nColon + 1);
        strValue.erase(0, strValue.find_first_not_of(" \t"));
        strValue.erase(strValue.find_last_not_of(" \t") + 1);
        if (strName == "transfer-encoding")
            bChunked = Lower(strValue).find("chunked") != std::string::npos;
        else if (strName == "content-length")
            strLength = strValue;
    }
    const std::size_t nBody = nHeadEnd + 4;
    if (bChunked)
        return Unchunk(strRaw, nBody, reply.strBody);
    if (!strLength.empty())
    {
        if (strLength.size() > 7 || strLength.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const std::size_t nLength = std::strtoul(strLength.c_str(), nullptr, 10);
        if (strRaw.size() - nBody < nLength)
            return false; // cut short
        reply.strBody = strRaw.substr(nBody, nLength);
        return true;
    }
    reply.strBody = strRaw.substr(nBody); // to the close
    return true;
}

bool HttpsPostForm(ISocketFactory& sockets, const std::string& strCaFile, const std::string& strUrl,
                   const std::string& strForm, HttpReply& reply, std::string& strError)
{
    HttpsUrl url;
    if (!ParseHttpsUrl(strUrl, url))
    {
        strError = "https:// の URL ではありません: " + strUrl;
        return false;
    }
    const std::unique_ptr<ISocket> pSocket = sockets.CreateSocket();
    CTlsSocket tls(*pSocket, strCaFile);
    const std::string strWhere = url.strHost + ":" + std::to_string(url.nPort);
    if (!tls.Create() || !tls.Connect(url.strHost, url.nPort))
    {
        strError = strWhere + " に接続できません (" + std::to_string(tls.GetLastError()) + ")";
        return false;
    }
    if (!tls.Handshake(url.strHost))
    {
        strError = strWhere + " と TLS で接続できません" +
                   (tls.VerifyReason().empty() ? std::string() : ": " + tls.VerifyReason());
        tls.Close();
        return false;
    }
    const bool bBracket = url.strHost.find(':') != std::string::npos;
    std::string strRequest = "POST " + url.strPath + " HTTP/1.1\r\nHost: ";
    strRequest.append(bBracket ? "[" + url.strHost + "]" : url.strHost);
    if (url.nPort != 443)
        strRequest.append(":").append(std::to_string(url.nPort));
    strRequest.append("\r\nContent-Type: application/x-www-form-urlencoded\r\n")
        .append("Accept: application/json\r\nUser-Agent: Tarvell\r\nConnection: close\r\n")
        .append("Content-Length: ")
        .append(std::to_string(strForm.size()))
        .append("\r\n\r\n")
        .append(strForm);
    const int nLength = static_cast<int>(strRequest.size());
    if (tls.Send(strRequest.data(), nLength) != nLength)
    {
        strError = strWhere + " へ送れません (" + std::to_string(tls.GetLastError()) + ")";
        tls.Close();
        return false;
    }
    std::string strRaw;
    char buffer[4096];
    tls.BeginReply();
    for (;;)
    {
        const int nGot = tls.Receive(buffer, sizeof(buffer));
        if (nGot < 0 && strRaw.find("\r\n\r\n") == std::string::npos)
        {
            strError =
                strWhere + " から応答がありません (" + std::to_string(tls.GetLastError()) + ")";
            tls.Close();
            return false;
        }
        if (nGot <= 0)
            break; // a close without close_notify still ends a reply with its length
        strRaw.append(buffer, static_cast<std::size_t>(nGot));
        if (strRaw.size() > MAX_HTTP_REPLY)
        {
            strError = strWhere + " の応答が大きすぎます";
            tls.Close();
            return false;
        }
    }
    tls.Close();
    if (!ParseHttpReply(strRaw, reply))
    {
        strError = strWhere + " の応答が HTTP として読めません";
        return false;
    }
    return true;
}
