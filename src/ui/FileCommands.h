// FileCommands.h - the file choices and shell opens that the form and the menu share.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"

#include <optional>
#include <string>
#include <vector>

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
// the program associated with it. Shows "オープンできません。" and the path when the shell fails,
// and without an editor also where to choose one.
void OpenInEditor(IPlatform& platform, const CfgData& cfg, const std::string& strArgument);

// The user manual's index.html for a program in strProgramDir (CP932, ending in "/"): the
// installed copy, else the one beside the program; empty when there is none.
std::string FindManual(const std::string& strProgramDir);
// Where FindManual looks, in its order.
std::vector<std::string> ManualPlaces(const std::string& strProgramDir);
