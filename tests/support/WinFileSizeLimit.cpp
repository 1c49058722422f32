// WinFileSizeLimit.cpp - Windows limits no file's size per process.
#include "support/FileSizeLimit.h"

CFileSizeLimit::CFileSizeLimit(std::uint64_t nBytes)
    : m_strUnavailable("Windows has no per-process file size limit to make a write fail")
{
    (void)nBytes;
}

CFileSizeLimit::~CFileSizeLimit() = default;
