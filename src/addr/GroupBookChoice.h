// GroupBookChoice.h - the file dialog that picks a group address book, for the editor and the
// recipient choice alike.
#pragma once
#include "app/Platform.h"

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
