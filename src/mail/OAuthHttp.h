// OAuthHttp.h - the little HTTP an OAuth 2.0 client needs: one POST of a form
// (application/x-www-form-urlencoded) over TLS to a token or device endpoint, HTTP/1.1 with
// "Connection: close", the reply read to its end (Content-Length, chunked, or the close) within a
// bound. The connection's time-outs are the socket's. No redirects, no proxies, no clear text.
#pragma once
#include "mail/Socket.h"

#include <string>
#include <utility>
#include <vector>

// The largest reply taken, headers included: a token reply is a few kilobytes.
constexpr std::size_t MAX_HTTP_REPLY = std::size_t{64} * 1024;

struct HttpsUrl
{
    std::string strHost; // a name or an address, without brackets
    int nPort = 443;
    std::string strPath; // "/..." with the query
};
// False for anything but "https://host[:port][/path]" in printable ASCII.
bool ParseHttpsUrl(const std::string& strUrl, HttpsUrl& url);

// "a=1&b=x%20y": every byte but the unreserved characters of RFC 3986 percent-encoded.
std::string FormEncode(const std::vector<std::pair<std::string, std::string>>& fields);
std::string PercentEncode(const std::string& strText);

struct HttpReply
{
    int nStatus = 0;
    std::string strBody;
};
// The status and body of a whole reply as read up to the close; false when it is not HTTP/1.x,
// its chunks or length do not add up, or it was cut short.
bool ParseHttpReply(const std::string& strRaw, HttpReply& reply);

// POSTs the form to the URL through a new socket of the factory, TLS verified against the system
// store plus strCaFile (an OS path; empty for none). False with a reason (CP932) in strError.
bool HttpsPostForm(ISocketFactory& sockets, const std::string& strCaFile, const std::string& strUrl,
                   const std::string& strForm, HttpReply& reply, std::string& strError);
