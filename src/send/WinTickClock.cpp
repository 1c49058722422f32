// WinTickClock.cpp - the tick loop's clock on Windows.
#include "send/TickClock.h"

#include <windows.h>

namespace
{
class CWinTickClock : public ITickClock
{
  public:
    long long NowMs() override { return static_cast<long long>(::GetTickCount64()); }
    void SleepMs(int nMs) override { ::Sleep(static_cast<DWORD>(nMs)); }
};
} // namespace

ITickClock& SystemTickClock()
{
    static CWinTickClock clock;
    return clock;
}
