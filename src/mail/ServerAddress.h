// ServerAddress.h - a server field of the sender record: "host", "host:PORT", "[IPv6]" or
// "[IPv6]:PORT". A bare IPv6 address (more than one colon) is a host without a port.
#pragma once
#include <string>

// Splits the field into host and port; without a port, nDefaultPort. False for an empty host, an
// unclosed bracket or a port that is not a number from 1 to 65535.
bool SplitServerField(const std::string& strField, int nDefaultPort, std::string& strHost,
                      int& nPort);
