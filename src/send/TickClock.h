// TickClock.h - the clock of the tick loop: monotonic milliseconds and a sleep. The system's is in
// PosixTickClock.cpp and WinTickClock.cpp; a test gives one that only pretends to sleep.
#pragma once

class ITickClock
{
  public:
    virtual ~ITickClock() = default;
    // Milliseconds since some fixed moment; never goes back.
    virtual long long NowMs() = 0;
    // Returns after about nMs milliseconds (earlier when a signal comes).
    virtual void SleepMs(int nMs) = 0;
};

ITickClock& SystemTickClock();
