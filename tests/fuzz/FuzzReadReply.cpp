// FuzzReadReply.cpp - reading one reply from a scripted byte stream: any pieces, closes and
// receive errors, any capacity. The count stays below the capacity, the buffer stays NUL-ended.
#include "mail/LineTransport.h"

#include "support/ScriptedSocket.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
class CQuietPlatform : public IPlatform
{
  public:
    MsgResult ShowMessage(const std::string&, MsgButtons) override { return MsgResult::Ok; }
    FileDialogResult OpenFileDialog(const FileDialogRequest&) override { return {}; }
    int ShellOpen(const std::string&, const std::string&) override { return 0; }
    int RunModal(IModalDialog&) override { return DLG_CANCEL; }
    bool StartTimer(int, int, std::function<void(int)>) override { return false; }
    void StopTimer(int) override {}
};
} // namespace

// Input: capacity (2 bytes), then steps: a length byte n; 0 = the peer closes, 255 = a receive
// error whose code follows in 2 bytes, otherwise a piece of the next n bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 2)
        return 0;
    const int nCapacity = 1 + ((pData[0] << 8 | pData[1]) % 1100);
    CScriptedSocket socket;
    socket.Create();
    std::size_t i = 2;
    while (i < nSize)
    {
        const std::size_t n = pData[i++];
        if (n == 0)
        {
            socket.Closed();
        }
        else if (n == 255)
        {
            const int nCode =
                i + 1 < nSize ? 10000 + ((pData[i] << 8 | pData[i + 1]) % 200) : 10054;
            i += 2;
            socket.Fail(nCode);
        }
        else
        {
            const std::size_t nPiece = n < nSize - i ? n : nSize - i;
            socket.Piece(std::string(reinterpret_cast<const char*>(pData + i), nPiece));
            i += nPiece;
        }
    }
    socket.Connect("fuzz", 25);
    CQuietPlatform platform;
    std::vector<char> buffer(static_cast<std::size_t>(nCapacity));
    for (int nReply = 0; nReply < 4; ++nReply)
    {
        const int nRead = ReadReply(socket, platform, buffer.data(), nCapacity, '\n');
        // A failure that shows its message gives 0 but leaves what had arrived in the buffer.
        if (nRead < 0 || nRead >= nCapacity ||
            buffer[static_cast<std::size_t>(nCapacity) - 1] != '\0')
            std::abort();
        ReplyCode(buffer.data());
    }
    return 0;
}
