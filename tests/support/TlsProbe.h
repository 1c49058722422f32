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
    // kTlsProbeSecret when the long line sent came back whole; else the start of what came.
    std::string strEcho;
    std::string strReason;
};

// The start of the line the probe sends once encrypted, which the fake server must never see in
// the clear. The line is longer than a TLS record, so it travels in several.
constexpr const char* kTlsProbeSecret = "SECRET line";

TlsProbeResult ProbeTls(ISocket& socket, const std::string& strAddress, int nPort,
                        const std::string& strTlsHost, const std::string& strCaFile,
                        bool bStartTls);

std::string FormatProbe(const TlsProbeResult& result);
bool ParseProbe(const std::string& strLine, TlsProbeResult& result);
