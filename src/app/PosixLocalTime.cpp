// PosixLocalTime.cpp - the local time of the system's time zone (TZ).
#include "app/LocalTime.h"

bool ToLocalTime(std::time_t t, std::tm& tmLocal)
{
    return ::localtime_r(&t, &tmLocal) != nullptr;
}
