// SendFormView.h - what the send form's logic asks of its window: show the strings, read the
// controls back, enable Send, run a command, and the end of an automatic send that cannot close
// the program. A form without a window (the headless run, the tests) has no view.
//
// Threads: every call comes on the window's thread, except that a Send command the window runs on
// a worker thread calls ShowStrings and ReadControls from that worker. The window then hands the
// strings over without waiting (a copy, through its mailbox) and answers ReadControls with what
// reading the controls gave on its own thread just before the send began.
#pragma once
#include "app/CommandIds.h" // the commands IssueCommand runs, by number

class ISendFormView
{
  public:
    virtual ~ISendFormView() = default;

    // The form's strings -> the controls, the status line painted at once.
    virtual void ShowStrings() = 0;
    // The controls -> the form's strings with the byte-limit checks; false when a field was
    // refused (its string then stays as it was).
    virtual bool ReadControls() = 0;
    // Enables or disables the Send button.
    virtual void EnableSend(bool bEnable) = 0;
    // Runs a menu or button command as a click would, with any dialog it opens, and returns when
    // it has finished.
    virtual void IssueCommand(int nId) = 0;
    // An automatic send with "/quit" was ended by a file error, so the program will not close by
    // itself.
    virtual void OnAutoSendAbandoned() = 0;
};
