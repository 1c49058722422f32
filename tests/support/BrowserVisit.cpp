// BrowserVisit.cpp - the browser's request to the loopback redirect.
#include "support/BrowserVisit.h"

#include "mail/SystemSocket.h"

std::string SendToLoopback(int nPort, const std::string& strRequest)
{
    CSystemSocket socket;
    if (!socket.Create() || !socket.Connect("127.0.0.1", nPort))
        return std::string();
    socket.Send(strRequest.data(), static_cast<int>(strRequest.size()));
    std::string strReply;
    char buffer[1024];
    for (int n = 0; (n = socket.Receive(buffer, sizeof(buffer))) > 0;)
        strReply.append(buffer, static_cast<std::size_t>(n));
    return strReply;
}

std::string VisitLoopback(int nPort, const std::string& strPathQuery)
{
    return SendToLoopback(nPort, "GET " + strPathQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}
