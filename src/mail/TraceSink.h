// TraceSink.h - where the connection of a send operation reports what goes over it, for the send
// trace. The connection says when a secret is sent, so every exchange that carries one (the POP3
// password, any authentication) is masked by the sink without it having to parse the protocol;
// the message after DATA is reported as a byte count only.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

class ITraceSink
{
  public:
    virtual ~ITraceSink() = default;

    virtual void Connected(const std::string& strHost, int nPort, bool bOpen) = 0;
    virtual void Sent(std::string_view bytes) = 0;
    // A line holding a secret went out: only shown (the command word) may be written; nHidden
    // bytes follow it.
    virtual void SentSecret(std::string_view shown, std::size_t nHidden) = 0;
    // The message data after DATA went out: nBytes on the wire.
    virtual void SentData(std::size_t nBytes) = 0;
    virtual void Received(std::string_view bytes) = 0;
    virtual void Closed() = 0;
};
