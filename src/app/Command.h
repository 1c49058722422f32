// Command.h - every command runs inside RunCommand: a file error abandons the rest of the command
// and is reported once, with the file and the cause.
#pragma once
#include "app/Platform.h"

// Returns true when the command ran to its end, false when a file error abandoned it.
template <class Command> bool RunCommand(IPlatform& platform, Command&& command)
{
    try
    {
        command();
        return true;
    }
    catch (const CFileException& e)
    {
        platform.ReportFileError(e);
        return false;
    }
}
