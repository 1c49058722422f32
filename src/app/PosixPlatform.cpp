// PosixPlatform.cpp - what the desktop seam does by itself, without a desktop.
#include "app/Platform.h"

#include <cerrno>
#include <ctime>

void IPlatform::Pause(int nMilliseconds)
{
    // (<chrono> cannot be compiled with the CP932 execution character set.)
    timespec left{nMilliseconds / 1000, static_cast<long>(nMilliseconds % 1000) * 1000000L};
    while (nMilliseconds > 0 && ::nanosleep(&left, &left) != 0 && errno == EINTR)
    {
    }
}
