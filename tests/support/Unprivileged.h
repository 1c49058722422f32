// Unprivileged.h - runs a piece of a test as the unprivileged user "nobody", for the cases that
// depend on file permissions: root reads and writes every file, so only another user shows them.
#pragma once
#include <functional>
#include <string>
#include <sys/types.h>

// Why the tests cannot switch to "nobody" (they do not run as root, or there is no such user);
// empty when they can.
std::string NoUnprivilegedUserReason();

// Switches the calling process to "nobody" (groups, group, user); false when that fails. For a
// child process only: there is no way back.
bool BecomeNobody();

// Runs fn in a child process as "nobody" and returns its text; an exception that leaves fn gives
// "exception: " and its what(), a child that dies gives "<child failed>".
std::string RunAsNobody(const std::function<std::string()>& fn);

// Opens the folder and the folders in it to every user (shared writable folders, not sticky);
// files keep their modes.
void OpenToEveryone(const std::string& strDir);
