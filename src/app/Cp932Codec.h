// Cp932Codec.h - the system's own CP932 conversion, under TextCodec's checks. Implemented once
// per platform (iconv on Linux, code page 932 on Windows); text goes through TextCodec.h.
#pragma once
#include <string>
#include <string_view>

// Each converts all of in, or returns false (out then undefined) at the first character the
// system cannot convert.
bool SystemCp932ToUtf8(std::string_view in, std::string& out);
bool SystemUtf8ToCp932(std::string_view in, std::string& out);
