// WinCloseRequest.cpp - the console's control events as close requests.
#include "app/CloseRequest.h"

#include "app/CloseRequestFlag.h"

#include <windows.h>

namespace
{
BOOL WINAPI OnControl(DWORD nEvent)
{
    switch (nEvent)
    {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        NoteCloseRequest();
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // Windows ends the process when this returns: the program gets a few seconds to
        // finish the mail in hand and write its records.
        NoteCloseRequest();
        ::Sleep(4000);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

void CatchCloseRequests(void (*onClose)())
{
    SetCloseRequestHandler(onClose);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}
