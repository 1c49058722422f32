// TestScript.h - a test mode of the window: with TARVELL_TEST_SCRIPT naming a script (UTF-8, one
// step a line) the window carries the steps out as a user would, from a timer of its own thread,
// and writes what it is asked to read (control texts, dialog contents) to TARVELL_TEST_REPORT.
// Steps that wait for a condition (a dialog up, a text shown) give up after a time-out, which is
// written to the report and ends the program with status 3. Password fields are never read.
//
//   set ID TEXT        the control's text in the dialog in front (else the form)
//   click ID           a click of that button
//   select ID N        the combo box's choice N (from 0), as if picked from its list
//   menu ID            a menu command of the main window
//   key VK             a key press (virtual-key number) where the focus is
//   wait-dialog TITLE  until a dialog or message box with this title is in front
//   wait-no-dialog     until none is
//   wait-text ID TEXT  until the control's text holds TEXT
//   wait-enabled ID 0|1
//   wait-focus ID      until that control has the keyboard focus
//   wait-file PATH     until the file exists (the test tells it may go on)
//   dump ID            "ID=text" to the report; dump-dialog: the title and every control's text
//   signal NAME        "signal NAME" to the report (the test waits for it)
//   close              the main window's close request
#pragma once
#include <string>

#include <windows.h>

struct ScriptStep
{
    std::string strVerb;
    int nId = 0;         // the control or command, for the verbs that name one
    std::string strText; // the rest of the line
    bool bValid = false; // a known verb with what it needs
};

// One line of a script; comments ("#") and blank lines give a step with an empty verb.
ScriptStep ParseScriptStep(const std::string& strLine);

// Starts the script when the environment names one; false when it does not or it cannot be read.
bool StartTestScript(HWND hFrame, HWND hForm);
