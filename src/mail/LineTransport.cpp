// LineTransport.cpp - send a text, read one reply, send one command.
#include "mail/LineTransport.h"

#include <cstring>
#include <string>

namespace
{
constexpr int kSendPiece = 1024;
constexpr int kReceivePiece = 256; // each receive asks for one byte less, keeping a NUL
constexpr int kCommandReplySize = 1024;

struct ReceiveError
{
    int nCode;
    const char* pszMessage;
};

// What the codes a connection can end with mean, for the detail of a failed step.
const ReceiveError kErrorMeanings[] = {
    {NET_ECONNREFUSED, "WSAECONNREFUSED: 接続を拒否されました"},
    {NET_ETIMEDOUT, "WSAETIMEDOUT: 応答がないまま時間切れになりました"},
    {NET_HOST_NOT_FOUND, "WSAHOST_NOT_FOUND: サーバー名が見つかりません"},
    {NET_ECONNRESET, "WSAECONNRESET: 接続がリセットされました"},
    {NET_ECONNABORTED, "WSAECONNABORTED: 接続が中断されました"},
    {NET_ENETUNREACH, "WSAENETUNREACH: ネットワークに到達できません"},
    {NET_EHOSTUNREACH, "WSAEHOSTUNREACH: ホストに到達できません"},
    {NET_ESHUTDOWN, "WSAESHUTDOWN: 接続は閉じられています"},
    {NET_ENOTCONN, "WSAENOTCONN: 接続されていません"},
    {NET_EINVAL, "WSAEINVAL: サーバーの指定が正しくありません"},
    {NET_EINTR, "WSAEINTR: 送信を中止しました"}, // the cancel request of mail/SendCancel
};

const ReceiveError kReceiveErrors[] = {
    {NET_EINVAL, "RxSocket: WSAEINVAL"},
    {NET_EWOULDBLOCK, "RxSocket: WSAEWOULDBLOCK"},
    {NET_EINPROGRESS, "RxSocket: WSAEINPROGRESS"},
    {NET_ENOTSOCK, "RxSocket: WSAENOTSOCK"},
    {NET_EMSGSIZE, "RxSocket: WSAEMSGSIZE"},
    {NET_EOPNOTSUPP, "RxSocket: WSAEOPNOTSUPP"},
    {NET_ENETDOWN, "RxSocket: WSAENETDOWN"},
    {NET_ECONNABORTED, "RxSocket: WSAECONNABORTED"},
    {NET_ECONNRESET, "RxSocket: WSAECONNRESET"},
    {NET_ENOTCONN, "RxSocket: WSAENOTCONN"},
    {NET_ESHUTDOWN, "RxSocket: WSAESHUTDOWN"},
    {NET_NOTINITIALISED, "RxSocket: WSANOTINITIALISED"},
};
} // namespace

const char* ReceiveErrorMessage(int nWsaError)
{
    for (const ReceiveError& error : kReceiveErrors)
        if (error.nCode == nWsaError)
            return error.pszMessage;
    return nullptr;
}

std::string SocketErrorText(int nWsaError)
{
    for (const ReceiveError& error : kErrorMeanings)
        if (error.nCode == nWsaError)
            return error.pszMessage;
    if (const char* pszMessage = ReceiveErrorMessage(nWsaError))
        return pszMessage + std::strlen("RxSocket: ");
    return "ソケットエラー " + std::to_string(nWsaError);
}

int SendText(ISocket& socket, const char* pszText)
{
    int nTotal = 0;
    const char* p = pszText;
    std::size_t nRemaining = std::strlen(pszText);
    while (nRemaining > 0)
    {
        const int nPiece = nRemaining < kSendPiece ? static_cast<int>(nRemaining) : kSendPiece;
        const int nSent = socket.Send(p, nPiece);
        if (nSent <= 0)
            break;
        p += nSent;
        nRemaining -= static_cast<std::size_t>(nSent);
        nTotal += nSent;
    }
    return nTotal;
}

int ReadReply(ISocket& socket, IPlatform& platform, char* pszBuffer, int nCapacity,
              char chTerminator)
{
    if (nCapacity <= 0)
        return 0;
    std::memset(pszBuffer, 0, static_cast<std::size_t>(nCapacity));
    int nTotal = 0;
    std::size_t nTextEnd = 0; // where the text ends: a piece holding NUL counts more than it adds
    char piece[kReceivePiece] = {};
    socket.BeginReply();
    int nCount = socket.Receive(piece, kReceivePiece - 1);
    while (nCount != 0)
    {
        if (nCount < 0)
        {
            const char* pszMessage = ReceiveErrorMessage(socket.GetLastError());
            if (pszMessage == nullptr)
                return nTotal;
            platform.ShowMessage(pszMessage, MsgButtons::Ok);
            return 0;
        }
        if (nTotal + nCount >= nCapacity)
            return nTotal;
        const std::size_t nText = std::strlen(piece);
        // The buffer was zeroed and nTextEnd + nText < nCapacity: the text stays terminated.
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
        std::memcpy(pszBuffer + nTextEnd, piece, nText);
        nTextEnd += nText;
        nTotal += nCount;
        if (piece[nCount - 1] == chTerminator)
            return nTotal;
        std::memset(piece, 0, sizeof(piece));
        nCount = socket.Receive(piece, kReceivePiece - 1);
    }
    return nTotal;
}

long ReplyCode(const char* pszReply)
{
    const char* p = pszReply;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-')
    {
        bNegative = *p == '-';
        ++p;
    }
    constexpr long kLimit = 1000000000L;
    long nValue = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (nValue < kLimit)
            nValue = nValue * 10 + (*p - '0');
    return bNegative ? -nValue : nValue;
}

CommandResult SendCommand(ISocket& socket, IPlatform& platform, const char* pszLine,
                          int nExpectedCode)
{
    const int nLength = static_cast<int>(std::strlen(pszLine));
    if (socket.Send(pszLine, nLength) != nLength)
        return CommandResult::NotSent;
    char szReply[kCommandReplySize];
    if (ReadReply(socket, platform, szReply, sizeof(szReply), '\n') < 3)
        return CommandResult::NoReply;
    return ReplyCode(szReply) == nExpectedCode ? CommandResult::Ok : CommandResult::WrongCode;
}
