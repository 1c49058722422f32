// WinPlatform.cpp - what the desktop seam does by itself, without a desktop, on Windows.
#include "app/Platform.h"

#include <windows.h>

void IPlatform::Pause(int nMilliseconds)
{
    if (nMilliseconds > 0)
        ::Sleep(static_cast<DWORD>(nMilliseconds));
}
