// FuzzReplyReader.cpp - whole SMTP replies and lines from a scripted byte stream: any pieces,
// closes and receive errors. Codes are -1 or three digits, no line passes the line limit and no
// reply the line count.
#include "mail/ReplyReader.h"

#include "support/ScriptedSocket.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// Input: steps of a length byte n; 0 = the peer closes, 255 = a receive error, otherwise a piece
// of the next n bytes (at most the 4096 bytes one receive asks for).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CScriptedSocket socket;
    socket.Create();
    std::size_t i = 0;
    while (i < nSize)
    {
        const std::size_t n = pData[i++];
        if (n == 0)
            socket.Closed();
        else if (n == 255)
            socket.Fail(10054);
        else
        {
            const std::size_t nPiece = n < nSize - i ? n : nSize - i;
            socket.Piece(std::string(reinterpret_cast<const char*>(pData + i), nPiece));
            i += nPiece;
        }
    }
    socket.Connect("fuzz", 25);
    CReplyReader reader(socket);
    std::vector<std::string> lines;
    for (int nReply = 0; nReply < 4; ++nReply)
    {
        const int nCode = reader.ReadSmtpReply(lines);
        if (nCode != -1 && (nCode < 0 || nCode > 999))
            std::abort();
        if (lines.size() > CReplyReader::MAX_LINES)
            std::abort();
        for (const std::string& strLine : lines)
            if (strLine.size() > CReplyReader::MAX_LINE)
                std::abort();
        std::string strLine;
        if (reader.ReadLine(strLine) && strLine.size() > CReplyReader::MAX_LINE)
            std::abort();
    }
    return 0;
}
