// TlsProbeMain.cpp - tarvell_tls_probe ADDRESS PORT TLS-HOST CA-FILE [starttls]: one TLS client
// run (support/TlsProbe) against a fake server on the Linux side, reported on stdout as one line.
// The Linux test (tests/mail/PosixTlsParityTest.cpp) runs it under wine64.
#include "support/TlsProbe.h"

#include "mail/SystemSocket.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 5)
    {
        std::fputs("usage: tarvell_tls_probe ADDRESS PORT TLS-HOST CA-FILE [starttls]\n", stderr);
        return 2;
    }
    if (!StartSystemSockets())
        return 2;
    CSystemSocket socket;
    const TlsProbeResult result = ProbeTls(socket, argv[1], std::atoi(argv[2]), argv[3], argv[4],
                                           argc > 5 && std::string(argv[5]) == "starttls");
    std::printf("%s\n", FormatProbe(result).c_str());
    return 0;
}
