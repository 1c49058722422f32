// PosixCloseRequest.cpp - SIGINT and SIGTERM as close requests.
#include "app/CloseRequest.h"

#include "app/CloseRequestFlag.h"

#include <csignal>

namespace
{
void OnSignal(int)
{
    NoteCloseRequest();
}
} // namespace

void CatchCloseRequests(void (*onClose)())
{
    SetCloseRequestHandler(onClose);
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}
