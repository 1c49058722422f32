// DialogTitles.h - the titles of the settings dialogs (CP932), which the dialogs show and a run
// without a display writes when it cancels them.
#pragma once
#include <string>

std::string OptionsDialogTitle();
std::string SenderDialogTitle();
