// FileCommands.h - the file choices and shell opens that the form and the menu share.
#pragma once
#include "addr/GroupBookChoice.h"
#include "app/Platform.h"
#include "app/Records.h"

#include <string>
#include <vector>

// Opens strArgument with the configured text editor when it exists, else strArgument itself with
// the program associated with it. Shows "オープンできません。" and the path when the shell fails,
// and without an editor also where to choose one.
void OpenInEditor(IPlatform& platform, const CfgData& cfg, const std::string& strArgument);

// The user manual's index.html for a program in strProgramDir (CP932, ending in "/"): the
// installed copy, else the one beside the program; empty when there is none.
std::string FindManual(const std::string& strProgramDir);
// Where FindManual looks, in its order.
std::vector<std::string> ManualPlaces(const std::string& strProgramDir);
