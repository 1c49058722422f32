// QtText.h - CP932 text in and out of Qt widgets. Every conversion goes through app/TextCodec.
#pragma once
#include <QString>

#include <string>

// For display: bytes that cannot be decoded show as U+FFFD.
QString ToQString(const std::string& strSjis);

// False, leaving strSjis empty, when the text holds a character CP932 cannot write.
bool FromQString(const QString& qstr, std::string& strSjis);

// CP932 bytes of a text written in the ui's own code (a u"" literal); a character CP932 cannot
// write becomes "?". Narrow literals in Qt code are UTF-8, never CP932: use this instead.
std::string ToSjis(const QString& qstr);
