// FakeOAuthServer.h - runs tests/support/fake_oauth_server.py (an OAuth 2.0 authorization server
// on loopback) for one test, and stops it after.
#pragma once
#include "support/TempFolder.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

// Its files (ca.pem, requests.log) are written in the folder.
class CFakeOAuthServer
{
  public:
    CFakeOAuthServer(const CTempFolder& folder, const std::string& strArgs) : m_folder(folder)
    {
        const std::string strCommand =
            std::string("python3 " TARVELL_SOURCE_DIR "/tests/support/fake_oauth_server.py --dir ")
                .append(folder.Dir())
                .append(" --client tarvell-test ")
                .append(strArgs)
                .append(" > /dev/null 2>&1 & echo $! > ")
                .append(folder.Path("pid"));
        if (std::system(strCommand.c_str()) != 0)
            return;
        for (int i = 0; i < 100 && m_nHttpsPort == 0; ++i)
        {
            std::ifstream ports(folder.Path("ports"));
            if (!(ports >> m_nHttpsPort))
                ::usleep(100 * 1000);
        }
    }
    ~CFakeOAuthServer()
    {
        const std::string strKill = "kill $(cat " + m_folder.Path("pid") + ") 2>/dev/null";
        [[maybe_unused]] const int nIgnored = std::system(strKill.c_str());
    }
    bool Running() const { return m_nHttpsPort != 0; }
    std::string Url(const std::string& strPath) const
    {
        return "https://127.0.0.1:" + std::to_string(m_nHttpsPort) + strPath;
    }
    std::string Log(const std::string& strName) const { return m_folder.Read(strName); }

  private:
    const CTempFolder& m_folder;
    int m_nHttpsPort = 0;
};
