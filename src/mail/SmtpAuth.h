// SmtpAuth.h - SMTP AUTH (RFC 4954): which mechanism to use and what the client answers for
// PLAIN (RFC 4616), LOGIN and CRAM-MD5 (RFC 2195). Pure functions; the session does the talking.
#pragma once
#include <string>
#include <vector>

enum class AuthMechanism
{
    none, // nothing usable is offered
    plain,
    login,
    cramMd5,
};

// The capabilities of an EHLO reply: its lines after the code, the first (the greeting) included.
struct SmtpCapabilities
{
    bool bStartTls = false;
    std::vector<std::string> authMechanisms; // upper case, as offered in "AUTH ..." or "AUTH=..."
};
SmtpCapabilities ParseEhloReply(const std::vector<std::string>& lines);

// The best mechanism offered: CRAM-MD5 first on a connection without TLS (the password then never
// crosses in clear), PLAIN next, LOGIN last. CRAM-MD5 is not used over TLS: it needs the password
// stored in clear on the server and adds nothing once the channel is encrypted.
AuthMechanism ChooseAuthMechanism(const SmtpCapabilities& capabilities, bool bEncrypted);

// Base64 of the bytes, one line.
std::string Base64(const std::string& strBytes);

// "AUTH PLAIN <base64 of NUL name NUL password>", without the line end.
std::string AuthPlainCommand(const std::string& strName, const std::string& strPassword);

// The CRAM-MD5 answer to the server's base64 challenge: base64 of the name, a blank and the
// lower-case hex HMAC-MD5 of the challenge keyed with the password. Empty when the challenge is
// not valid base64.
std::string CramMd5Response(const std::string& strName, const std::string& strPassword,
                            const std::string& strChallengeBase64);
