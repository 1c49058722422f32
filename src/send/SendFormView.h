// SendFormView.h - what the send form's logic asks of its window: show the strings, read the
// controls back, enable Send, run a command, and the end of an automatic send that cannot close
// the program. A form without a window (the headless run, the tests) has no view.
//
// Threads: every call comes on the window's thread, except that a Send command the window runs on
// a worker thread calls ShowStrings and ReadControls from that worker. The window then hands the
// strings over without waiting (a copy, through its mailbox) and answers ReadControls with what
// reading the controls gave on its own thread just before the send began.
#pragma once

// The commands the one-second timer issues, by their menu and control numbers.
enum CommandId : int
{
    ID_EXIT_BUTTON = 1006,      // the form's "終了": the main window is asked to close
    ID_MAIN_BOOK_SELECT = 1008, // the form's "宛先・メインアドレス帳"
    ID_SEND = 1009,             // the form's "送信"
    ID_OPTIONS = 32771,         // main window: options dialog
    ID_SENDER_SETTINGS = 32773, // main window: sender settings dialog
    ID_EDIT_MAIN_BOOK = 32775,  // main window: edit the main address book
    ID_EDIT_GROUP_BOOK = 32776, // main window: edit a group address book
    ID_GROUP_SELECT = 32777,    // the form: recipient from a group address book
};

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
