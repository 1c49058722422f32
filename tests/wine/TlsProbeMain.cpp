// TlsProbeMain.cpp - tarvell_tls_probe ADDRESS PORT TLS-HOST CA-FILE [starttls]: one TLS client
// run (support/TlsProbe) against a fake server on the Linux side, reported on stdout as one line.
// The Linux test (tests/mail/TlsParityTest.cpp) runs it under wine64.
#include "support/TlsProbe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
// A blocking Winsock connection with a fixed time-out per call: enough for the probe, whose
// servers answer at once.
class CProbeSocket : public ISocket
{
  public:
    ~CProbeSocket() override { Close(); }
    bool Create() override { return true; }
    bool Connect(const std::string& strHost, int nPort) override
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* pList = nullptr;
        if (getaddrinfo(strHost.c_str(), std::to_string(nPort).c_str(), &hints, &pList) != 0)
            return Fail();
        for (addrinfo* p = pList; p != nullptr && m_socket == INVALID_SOCKET; p = p->ai_next)
        {
            m_socket = socket(p->ai_family, p->ai_socktype, p->ai_protocol);
            const DWORD nTimeout = 10000;
            setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&nTimeout),
                       sizeof(nTimeout));
            setsockopt(m_socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&nTimeout),
                       sizeof(nTimeout));
            if (m_socket != INVALID_SOCKET &&
                connect(m_socket, p->ai_addr, static_cast<int>(p->ai_addrlen)) != 0)
                Close();
        }
        freeaddrinfo(pList);
        return m_socket != INVALID_SOCKET || Fail();
    }
    int Send(const char* pData, int nLength) override
    {
        for (int nSent = 0; nSent < nLength;)
        {
            const int n = send(m_socket, pData + nSent, nLength - nSent, 0);
            if (n <= 0)
            {
                Fail();
                return -1;
            }
            nSent += n;
        }
        return nLength;
    }
    void BeginReply() override {}
    int Receive(char* pBuffer, int nMaximum) override
    {
        const int n = recv(m_socket, pBuffer, nMaximum, 0);
        if (n < 0)
            Fail();
        return n < 0 ? -1 : n;
    }
    void Close() override
    {
        if (m_socket != INVALID_SOCKET)
            closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    int GetLastError() const override { return m_nLastError; }

  private:
    bool Fail()
    {
        m_nLastError = WSAGetLastError();
        return false;
    }

    SOCKET m_socket = INVALID_SOCKET;
    int m_nLastError = 0;
};
} // namespace

int main(int argc, char** argv)
{
    if (argc < 5)
    {
        std::fputs("usage: tarvell_tls_probe ADDRESS PORT TLS-HOST CA-FILE [starttls]\n", stderr);
        return 2;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 2;
    CProbeSocket socket;
    const TlsProbeResult result = ProbeTls(socket, argv[1], std::atoi(argv[2]), argv[3], argv[4],
                                           argc > 5 && std::string(argv[5]) == "starttls");
    std::printf("%s\n", FormatProbe(result).c_str());
    WSACleanup();
    return 0;
}
