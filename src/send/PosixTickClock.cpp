// PosixTickClock.cpp - the tick loop's clock on POSIX.
#include "send/TickClock.h"

#include <ctime>

namespace
{
class CPosixTickClock : public ITickClock
{
  public:
    long long NowMs() override
    {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }
    void SleepMs(int nMs) override
    {
        // A signal ends the sleep early: the loop then looks at the close request at once.
        const timespec wait{nMs / 1000, static_cast<long>(nMs % 1000) * 1000000L};
        ::nanosleep(&wait, nullptr);
    }
};
} // namespace

ITickClock& SystemTickClock()
{
    static CPosixTickClock clock;
    return clock;
}
