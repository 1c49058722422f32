// TlsProbe.h - one TLS client run against a fake server, the same on Linux (in the test program)
// and on Windows (tarvell_tls_probe under Wine): connect, optionally STARTTLS in the clear,
// handshake, then read the greeting and have a line echoed. The result travels from the Windows
// program to the Linux test as one text line.
#pragma once
#include "mail/TlsSocket.h"

#include <string>

struct TlsProbeResult
{
    bool bConnected = false;
    TlsFailure failure = TlsFailure::handshake;
    bool bEncrypted = false;
    std::string strEcho; // the line the server sent back, without CRLF
    std::string strReason;
};

// The line the probe sends once encrypted; the fake server must never see it in the clear.
constexpr const char* kTlsProbeSecret = "SECRET line";

TlsProbeResult ProbeTls(ISocket& socket, const std::string& strAddress, int nPort,
                        const std::string& strTlsHost, const std::string& strCaFile,
                        bool bStartTls);

std::string FormatProbe(const TlsProbeResult& result);
bool ParseProbe(const std::string& strLine, TlsProbeResult& result);
