// TlsSocket.cpp - what the TLS socket does alike over OpenSSL (PosixTlsSocket.cpp) and Schannel
// (WinTlsSocket.cpp): a new connection starts in the clear, and the last failure is the TLS
// layer's own or else the wrapped socket's.
#include "mail/TlsSocket.h"

bool CTlsSocket::Create()
{
    EndSession();
    m_nLastError = 0;
    return m_socket.Create();
}

bool CTlsSocket::Connect(const std::string& strHost, int nPort)
{
    EndSession();
    m_nLastError = 0;
    return m_socket.Connect(strHost, nPort);
}

int CTlsSocket::GetLastError() const
{
    return m_nLastError != 0 ? m_nLastError : m_socket.GetLastError();
}
