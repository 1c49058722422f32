// WinLocalTime.cpp - the local time of the system's time zone (or of TZ when it is set).
#include "app/LocalTime.h"

bool ToLocalTime(std::time_t t, std::tm& tmLocal)
{
    return ::localtime_s(&tmLocal, &t) == 0;
}
