// DialogTitles.cpp - the titles of the settings dialogs.
#include "send/DialogTitles.h"

std::string OptionsDialogTitle()
{
    return "オプション";
}

std::string SenderDialogTitle()
{
    return "発送元設定";
}
