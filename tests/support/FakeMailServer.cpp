// FakeMailServer.cpp - the scripted fake POP3/SMTP server on loopback.
#include "support/FakeMailServer.h"

#include <stdexcept>

namespace
{
constexpr int kPollMs = 100;
const std::string kEndOfData = "\r\n.\r\n";

void WriteAll(TestSocket s, const std::string& strBytes)
{
    std::size_t nSent = 0;
    while (nSent < strBytes.size())
    {
        const long n = SendSome(s, strBytes.data() + nSent, strBytes.size() - nSent);
        if (n <= 0)
            return; // the client went away; the script goes on reading what is left
        nSent += static_cast<std::size_t>(n);
    }
}
} // namespace

CServerScript& CServerScript::Say(std::string strBytes)
{
    m_steps.push_back({Step::say, std::move(strBytes), 0});
    return *this;
}

CServerScript& CServerScript::SayPieces(std::initializer_list<std::string> pieces, int nDelayMs)
{
    bool bFirst = true;
    for (const std::string& strPiece : pieces)
    {
        if (!bFirst)
            Delay(nDelayMs);
        Say(strPiece);
        bFirst = false;
    }
    return *this;
}

CServerScript& CServerScript::Delay(int nMs)
{
    m_steps.push_back({Step::delay, {}, nMs});
    return *this;
}

CServerScript& CServerScript::Line()
{
    m_steps.push_back({Step::line, {}, 0});
    return *this;
}

CServerScript& CServerScript::Data()
{
    m_steps.push_back({Step::data, {}, 0});
    return *this;
}

CServerScript& CServerScript::Close()
{
    m_steps.push_back({Step::close, {}, 0});
    return *this;
}

CServerScript& CServerScript::Reset()
{
    m_steps.push_back({Step::reset, {}, 0});
    return *this;
}

CServerScript& CServerScript::Silent()
{
    m_steps.push_back({Step::silent, {}, 0});
    return *this;
}

CServerScript& CServerScript::Stall()
{
    m_steps.push_back({Step::stall, {}, 0});
    return *this;
}

CServerScript& CServerScript::Respond(ServerResponder responder)
{
    m_steps.push_back({Step::respond, {}, static_cast<int>(m_responders.size())});
    m_responders.push_back(std::move(responder));
    return *this;
}

CServerScript CServerScript::Pop3Accepting()
{
    CServerScript script;
    script.Say("+OK fake POP3 ready\r\n")
        .Line()
        .Say("+OK user\r\n")
        .Line()
        .Say("+OK logged in\r\n")
        .Line()
        .Say("+OK bye\r\n");
    return script;
}

CServerScript CServerScript::SmtpAccepting()
{
    CServerScript script;
    script.Say("220 fake ESMTP ready\r\n")
        .Line()
        .Say("250 hello\r\n")
        .Line()
        .Say("250 sender ok\r\n")
        .Line()
        .Say("250 recipient ok\r\n")
        .Line()
        .Say("354 go ahead\r\n")
        .Data()
        .Say("250 queued\r\n")
        .Line()
        .Say("221 bye\r\n");
    return script;
}

CFakeMailServer::CFakeMailServer()
{
    m_listener = ListenOnLoopback(16, m_nPort);
    if (m_listener == kNoTestSocket)
        throw std::runtime_error("fake mail server: cannot listen on 127.0.0.1");
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

CFakeMailServer::~CFakeMailServer()
{
    Stop();
}

void CFakeMailServer::AddConnection(CServerScript script)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scripts.push_back(std::move(script));
}

void CFakeMailServer::SetRepeat(bool bRepeat)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRepeat = bRepeat;
}

void CFakeMailServer::SetSink(bool bSink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSink = bSink;
}

void CFakeMailServer::SetScriptSource(std::function<CServerScript(std::size_t)> source)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scriptSource = std::move(source);
}

std::string CFakeMailServer::HostPort() const
{
    return "127.0.0.1:" + std::to_string(m_nPort);
}

void CFakeMailServer::Stop()
{
    if (m_bStop.exchange(true))
        return;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    CloseTestSocket(m_listener);
}

std::size_t CFakeMailServer::ConnectionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections.size();
}

std::string CFakeMailServer::Received(std::size_t nConnection) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return nConnection < m_connections.size() ? m_connections[nConnection].strReceived
                                              : std::string();
}

std::uint64_t CFakeMailServer::ReceivedCount(std::size_t nConnection) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return nConnection < m_connections.size() ? m_connections[nConnection].nReceived : 0;
}

void CFakeMailServer::AcceptLoop()
{
    while (!m_bStop)
    {
        if (!WaitReadable(m_listener, kPollMs))
            continue;
        const TestSocket s = AcceptConnection(m_listener);
        if (s == kNoTestSocket)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::size_t nIndex = m_connections.size();
        m_connections.emplace_back();
        CServerScript script;
        if (m_scriptSource)
            script = m_scriptSource(nIndex);
        else if (nIndex < m_scripts.size())
            script = m_scripts[nIndex];
        else if (m_bRepeat && !m_scripts.empty())
            script = m_scripts[nIndex % m_scripts.size()];
        else
            script.Close();
        m_threads.emplace_back([this, s, nIndex, script] { Serve(s, nIndex, script); });
    }
}

bool CFakeMailServer::ReadSome(TestSocket s, std::size_t nIndex, std::string& strPending)
{
    if (!WaitReadable(s, m_bStop ? 0 : kPollMs))
        return !m_bStop;
    char buffer[65536];
    const long n = ReceiveSome(s, buffer, sizeof(buffer));
    if (n <= 0)
        return false;
    strPending.append(buffer, static_cast<std::size_t>(n));
    std::lock_guard<std::mutex> lock(m_mutex);
    Connection& connection = m_connections[nIndex];
    connection.nReceived += static_cast<std::uint64_t>(n);
    if (!m_bSink)
        connection.strReceived.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool CFakeMailServer::Converse(TestSocket s, std::size_t nIndex, const ServerResponder& responder,
                               std::string& strPending)
{
    bool bData = false;
    std::string strData;
    for (;;)
    {
        const std::size_t nEnd = strPending.find('\n');
        if (nEnd == std::string::npos)
        {
            if (!ReadSome(s, nIndex, strPending))
                return false;
            continue;
        }
        std::string strLine = strPending.substr(0, nEnd);
        strPending.erase(0, nEnd + 1);
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (bData && strLine != ".")
        {
            strData.append(strLine, !strLine.empty() && strLine[0] == '.' ? 1 : 0).append("\r\n");
            continue;
        }
        const ServerTurn turn = responder(bData ? strData : strLine, bData);
        bData = turn.bData;
        strData.clear();
        WriteAll(s, turn.strSay);
        if (turn.bClose)
            return true;
    }
}

void CFakeMailServer::Serve(TestSocket s, std::size_t nIndex, CServerScript script)
{
    std::string strPending; // received, not yet taken by a Line() or Data() step
    auto waitFor = [&](const std::string& strEnd) {
        for (;;)
        {
            const std::size_t nAt = strPending.find(strEnd);
            if (nAt != std::string::npos)
            {
                strPending.erase(0, nAt + strEnd.size());
                return true;
            }
            // Keep only a tail that may start the terminator: the message data is never held.
            if (strPending.size() > strEnd.size())
                strPending.erase(0, strPending.size() - strEnd.size());
            if (!ReadSome(s, nIndex, strPending))
                return false;
        }
    };
    bool bOpen = true;
    for (const CServerScript::Step& step : script.m_steps)
    {
        if (!bOpen)
            break;
        switch (step.kind)
        {
        case CServerScript::Step::say:
            WriteAll(s, step.strBytes);
            break;
        case CServerScript::Step::delay:
            PauseMs(step.nMs);
            break;
        case CServerScript::Step::line:
            bOpen = waitFor("\n");
            break;
        case CServerScript::Step::data:
            bOpen = waitFor(kEndOfData);
            break;
        case CServerScript::Step::close:
            CloseTestSocket(s);
            return;
        case CServerScript::Step::reset:
            ResetTestSocket(s);
            return;
        case CServerScript::Step::silent:
            bOpen = false;
            break;
        case CServerScript::Step::respond:
            if (Converse(s, nIndex, script.m_responders[static_cast<std::size_t>(step.nMs)],
                         strPending))
            {
                CloseTestSocket(s);
                return;
            }
            bOpen = false;
            break;
        case CServerScript::Step::stall:
            while (!m_bStop)
                PauseMs(50);
            CloseTestSocket(s);
            return;
        }
    }
    // Read whatever else comes until the client closes or the server stops.
    while (ReadSome(s, nIndex, strPending))
        strPending.clear();
    CloseTestSocket(s);
}
