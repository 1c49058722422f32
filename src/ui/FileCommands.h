// FileCommands.h - the file choices and shell opens that the form and the menu share.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"

#include <optional>
#include <string>

enum class GroupBookChoice
{
    Existing, // pick an existing book
    NewOrOld, // a new name may be typed ("@新規" proposed); the user is asked before it is used
};

// Asks for a group book; the book always lives in the program folder, so only its file name is
// returned. Nothing when the dialog is cancelled, or when the name does not fit the book-name
// field (127 bytes), which is refused with the length message instead of being cut.
std::optional<std::string> ChooseGroupBook(IPlatform& platform, const std::string& strAppDir,
                                           GroupBookChoice choice);

// Opens strArgument with the configured text editor when it exists, else strArgument itself with
// the program associated with it. Shows "オープンできません。" when the shell fails.
void OpenInEditor(IPlatform& platform, const CfgData& cfg, const std::string& strArgument);

// Opens log/trace.txt, the conversation of the last send command, like a log file.
void OpenSendTrace(IPlatform& platform, const CfgData& cfg, const std::string& strAppDir);
