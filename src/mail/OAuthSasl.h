// OAuthSasl.h - the SASL side of OAuth 2.0 for SMTP: OAUTHBEARER (RFC 7628) and XOAUTH2 (the
// older form Microsoft and Google take), the client's initial response, and the status of the
// error the server sends as a base64 JSON challenge before it refuses.
#pragma once
#include "mail/SmtpAuth.h"

#include <string>

enum class OAuthMechanism
{
    none,
    oauthBearer,
    xoauth2,
};

// OAUTHBEARER when offered (the standard), else XOAUTH2.
OAuthMechanism ChooseOAuthMechanism(const SmtpCapabilities& capabilities);

// "AUTH <mechanism> <base64 initial response>", without the line end; nShown gets the bytes
// before the secret ("AUTH XOAUTH2 ").
std::string OAuthAuthCommand(OAuthMechanism mechanism, const std::string& strUser,
                             const std::string& strToken, int& nShown);

// The "status" of the error challenge (base64 JSON: {"status":"401",...}); empty when it holds
// none or is not such a challenge.
std::string OAuthErrorStatus(const std::string& strChallengeBase64);

// The bytes of base64 text; false when it is not base64.
bool DecodeBase64(const std::string& strText, std::string& strBytes);
