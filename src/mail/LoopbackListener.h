// LoopbackListener.h - the redirect of a browser sign-in (RFC 8252 section 7.3): a listener on
// 127.0.0.1 at a port the system picks, that takes one HTTP request at a time and answers it.
// PosixLoopbackListener.cpp and WinLoopbackListener.cpp.
#pragma once
#include <memory>
#include <string>

class CLoopbackListener
{
  public:
    CLoopbackListener();
    ~CLoopbackListener(); // closes the listener and any connection
    CLoopbackListener(const CLoopbackListener&) = delete;
    CLoopbackListener& operator=(const CLoopbackListener&) = delete;

    // Listens on 127.0.0.1 at an ephemeral port; false when it cannot.
    bool Listen();
    int Port() const;
    // Waits at most nTimeoutSeconds for a connection and reads its request head (at most 8 KB,
    // within the network time-out): strRequestLine gets its first line. False when none came.
    bool NextRequest(int nTimeoutSeconds, std::string& strRequestLine);
    // Writes the bytes to the connection of the last request and closes it.
    void Reply(const std::string& strBytes);
    // Closes the listener: later connections are refused.
    void Close();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
