// WinLoopbackListener.cpp - not yet on Windows: the sign-in there uses the device code.
#include "mail/LoopbackListener.h"

struct CLoopbackListener::Impl
{
};

CLoopbackListener::CLoopbackListener() = default;
CLoopbackListener::~CLoopbackListener() = default;

bool CLoopbackListener::Listen()
{
    return false;
}

int CLoopbackListener::Port() const
{
    return 0;
}

bool CLoopbackListener::NextRequest(int, std::string& strRequestLine)
{
    strRequestLine.clear();
    return false;
}

void CLoopbackListener::Reply(const std::string&) {}

void CLoopbackListener::Close() {}
