// FakeMailServer.h - the scripted fake POP3/SMTP server on loopback, for tests and benchmarks.
//
// It listens on 127.0.0.1 on an ephemeral port and plays one script per accepted connection, in
// order (for a send: the POP3 connection, then the SMTP connection). Every byte it receives is kept
// per connection, so a test can check the client's whole transcript.
//
//   CFakeMailServer server;                              // listening from here on
//   server.AddConnection(CServerScript::Pop3Accepting());
//   server.AddConnection(CServerScript::SmtpAccepting());
//   CopyToField(sender.szPop3Server, server.HostPort()); // "127.0.0.1:PORT"
//   ... send ...
//   server.Stop();                                       // ends the scripts, joins the threads
//   EXPECT_EQ(server.Received(1), "HELO merrows\n...");
//
// Script steps (CServerScript, chained):
//   Say(bytes)             write the bytes in one write
//   SayPieces({..}, ms)    write each piece in its own write, pausing ms before each later piece
//   Delay(ms)              pause
//   Line()                 wait for the client's next line (through LF)
//   Data()                 wait for the end of the message data ("\r\n.\r\n")
//   Close()                close at once, without a word
//   Reset()                close with a reset (RST)
//   Silent()               never answer: keep reading until the client closes or Stop()
//   Stall()                neither read nor answer until Stop(): the client's sends fill up
//   Respond(responder)     the rest of the conversation is the responder's (see ServerTurn)
// After the last step the server reads until the client closes, then closes.
// A connection beyond the scripts is closed at once, unless SetRepeat(true) makes the scripts
// start over (connection i plays script i % count).
// SetScriptSource(source): each connection from then on plays source(its index), asked as it is
// accepted, for a server whose answers depend on what happens meanwhile (a tool driven from a
// shell script).
// SetSink(true): received bytes are counted (ReceivedCount) but not kept, for benchmarks.
#pragma once
#include "support/TestSocket.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One answer of a responder: the bytes to say, then whether the client's next input is message
// data (everything up to the line ".", handed over whole, dot-stuffing undone, lines joined with
// CR LF), or whether the connection closes.
struct ServerTurn
{
    std::string strSay;
    bool bData = false;
    bool bClose = false;
};
// Called with each line the client sends (its CR LF or LF taken off), or with the message data
// after a turn that asked for it (bIsData).
using ServerResponder = std::function<ServerTurn(const std::string& strInput, bool bIsData)>;

class CServerScript
{
  public:
    struct Step
    {
        enum Kind
        {
            say,
            delay,
            line,
            data,
            close,
            reset,
            silent,
            stall,
            respond,
        } kind;
        std::string strBytes;
        int nMs = 0; // respond: the responder's index in m_responders
    };

    CServerScript& Say(std::string strBytes);
    CServerScript& SayPieces(std::initializer_list<std::string> pieces, int nDelayMs);
    CServerScript& Delay(int nMs);
    CServerScript& Line();
    CServerScript& Data();
    CServerScript& Close();
    CServerScript& Reset();
    CServerScript& Silent();
    CServerScript& Stall();
    CServerScript& Respond(ServerResponder responder);

    // POP3 greeting, USER and PASS accepted, QUIT answered.
    static CServerScript Pop3Accepting();
    // SMTP greeting 220, HELO/MAIL/RCPT 250, DATA 354, the message accepted, QUIT answered.
    static CServerScript SmtpAccepting();

    std::vector<Step> m_steps;
    std::vector<ServerResponder> m_responders;
};

class CFakeMailServer
{
  public:
    CFakeMailServer();  // listens at once; throws std::runtime_error when it cannot
    ~CFakeMailServer(); // Stop()
    CFakeMailServer(const CFakeMailServer&) = delete;
    CFakeMailServer& operator=(const CFakeMailServer&) = delete;

    void AddConnection(CServerScript script);
    void SetRepeat(bool bRepeat);
    void SetSink(bool bSink);
    void SetScriptSource(std::function<CServerScript(std::size_t nConnection)> source);

    int Port() const { return m_nPort; }
    std::string HostPort() const; // "127.0.0.1:PORT"

    // Ends every script (reading what is still on its way), closes, and joins. Idempotent.
    void Stop();

    // Safe at any time; complete after Stop().
    std::size_t ConnectionCount() const;
    std::string Received(std::size_t nConnection) const;
    std::uint64_t ReceivedCount(std::size_t nConnection) const;

  private:
    struct Connection
    {
        std::string strReceived;
        std::uint64_t nReceived = 0;
    };

    void AcceptLoop();
    void Serve(TestSocket s, std::size_t nIndex, CServerScript script);
    // Reads once (waiting up to 100 ms); false when the client closed or the read failed.
    bool ReadSome(TestSocket s, std::size_t nIndex, std::string& strPending);
    // The responder's conversation; false when the client closed or the server stopped, true
    // when the responder closed the connection.
    bool Converse(TestSocket s, std::size_t nIndex, const ServerResponder& responder,
                  std::string& strPending);

    TestSocket m_listener = kNoTestSocket;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    bool m_bRepeat = false;
    bool m_bSink = false;
    mutable std::mutex m_mutex;
    std::vector<CServerScript> m_scripts;
    std::function<CServerScript(std::size_t)> m_scriptSource;
    std::vector<Connection> m_connections;
    std::vector<std::thread> m_threads;
    std::thread m_acceptThread;
};
