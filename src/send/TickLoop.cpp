// TickLoop.cpp - timers without a toolkit.
#include "send/TickLoop.h"

#include <algorithm>

bool CTickLoop::StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick)
{
    if (nPeriodMs < 1 || !onTick)
        return false;
    m_timers[nId] = Timer{nPeriodMs, m_clock.NowMs() + nPeriodMs, std::move(onTick)};
    return true;
}

void CTickLoop::StopTimer(int nId)
{
    m_timers.erase(nId);
}

void CTickLoop::Run(const std::function<bool()>& stopWhen)
{
    while (!m_bQuit && !(stopWhen && stopWhen()))
    {
        const long long nNow = m_clock.NowMs();
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
        {
            if (next == m_timers.end() || it->second.nDueMs < next->second.nDueMs)
                next = it;
        }
        if (next == m_timers.end() || next->second.nDueMs > nNow)
        {
            const long long nWait = next == m_timers.end() ? SLICE_MS : next->second.nDueMs - nNow;
            m_clock.SleepMs(static_cast<int>(std::min<long long>(nWait, SLICE_MS)));
            continue;
        }
        Timer& timer = next->second;
        timer.nDueMs += timer.nPeriodMs;
        if (timer.nDueMs <= nNow)
            timer.nDueMs = nNow + timer.nPeriodMs; // ticks missed while a tick ran are not made up
        // A copy: the tick may stop or replace its own timer.
        const std::function<void(int)> onTick = timer.onTick;
        onTick(next->first);
    }
}
