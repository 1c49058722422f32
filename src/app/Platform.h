// Platform.h - the seam between the program's logic and the desktop: message boxes, file dialogs,
// the shell's "open", modal dialog runs, timers and the clock. The Qt and headless implementations
// live in src/ui, the scripted one in tests/support.
#pragma once
#include "app/FileError.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

enum class MsgButtons
{
    Ok,
    OkCancel,
    YesNo,
};

enum class MsgResult
{
    Ok,
    Cancel,
    Yes,
    No,
};

// Dialog results, as the desktop's dialogs give them.
constexpr int DLG_OK = 1;
constexpr int DLG_CANCEL = 2;

// An open-file dialog. The filter is "Label|pattern;pattern|Label|pattern||"; every text is CP932.
struct FileDialogRequest
{
    std::string strTitle;      // empty: the desktop's own title
    std::string strStartDir;   // folder the dialog opens in
    std::string strPresetName; // file name box preset
    std::string strDefaultExt; // appended to a typed name without extension ("*": none)
    std::string strFilter;
    bool bMustExist = true;  // only existing files can be chosen
    bool bAskCreate = false; // a new name may be typed; the user is asked before it is used
    bool bReadOnlyTicked = false;
    bool bFolder = false;          // a folder is chosen, not a file; its path ends in "/"
    bool bExecutablesOnly = false; // the first filter shows only files the user may run
};

struct FileDialogResult
{
    bool bConfirmed = false;
    std::string strPath; // full path of the chosen file
    std::string strName; // its name with extension, without folder
};

// A modal dialog that the platform runs.
class IModalDialog
{
  public:
    virtual ~IModalDialog() = default;
    virtual std::string Title() const = 0; // CP932
    virtual int Exec() = 0;                // DLG_OK or DLG_CANCEL
};

class IPlatform
{
  public:
    virtual ~IPlatform() = default;

    // Modal; caption "Tarvell"; exclamation icon; returns the button pressed.
    virtual MsgResult ShowMessage(const std::string& strText, MsgButtons buttons) = 0;

    // A question with answers of its own (CP932 button texts, the first the default); returns the
    // index of the answer chosen, the last one when the box is closed without an answer. This
    // base asks with OK and Cancel: OK is the first answer.
    virtual std::size_t AskQuestion(const std::string& strText,
                                    const std::vector<std::string>& answers)
    {
        return ShowMessage(strText, MsgButtons::OkCancel) == MsgResult::Ok || answers.size() < 2
                   ? 0
                   : answers.size() - 1;
    }

    virtual FileDialogResult OpenFileDialog(const FileDialogRequest& request) = 0;

    // The shell's "open" of a file, folder, program or web address with optional parameters,
    // shown normally. A result of 32 or less is a failure.
    virtual int ShellOpen(const std::string& strFile, const std::string& strParams) = 0;

    // Runs a dialog modally and returns DLG_OK or DLG_CANCEL.
    virtual int RunModal(IModalDialog& dialog) = 0;

    // The file error: the message names the file and the cause.
    virtual void ReportFileError(const CFileException& e)
    {
        ShowMessage(FileErrorText(e), MsgButtons::Ok);
    }

    // Timer nId calls onTick every nPeriodMs on the user-interface thread; false when it cannot
    // be started.
    virtual bool StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick) = 0;
    virtual void StopTimer(int nId) = 0;

    // The send form's status line changed (a run without a display writes it to standard output).
    virtual void StatusChanged(const std::string& strStatus) { (void)strStatus; }

    // A send attempt failed; strDetail (CP932, one line) says at which step and what the server
    // answered. A run without a display writes it to standard error; with a display the send
    // form shows it on its status line instead.
    virtual void SendFailureDetail(const std::string& strDetail) { (void)strDetail; }

    // A group send ended. strSummary: "成功 N 件、失敗 M 件…"; strProblems: one line per member
    // that did not get the mail, with the reason (empty when every member did). This base shows
    // both in a message box when bTellUser and there are problems; a run without a display
    // writes the summary to standard error instead.
    virtual void GroupSendEnded(const std::string& strSummary, const std::string& strProblems,
                                bool bTellUser)
    {
        if (bTellUser && !strProblems.empty())
            ShowMessage(strSummary + "\n\n" + strProblems, MsgButtons::Ok);
    }
    // The current time.
    virtual std::time_t Now() { return std::time(nullptr); }
    // Waits nMilliseconds (the send waits between members and before a retry in short slices,
    // so that a cancel ends the wait).
    virtual void Pause(int nMilliseconds);
};
