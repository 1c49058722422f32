// CommandIds.h - the numbers of the commands: the send form's buttons, the menu and the
// accelerators. The Qt window, the Win32 window, the send form's logic and the Win32 resource
// script (through win/resource.h) all take them from here, so this file holds nothing but
// #define lines and comments, which is all a resource compiler reads of a header.
#pragma once

// The send form's buttons: a click runs the command of the button's control number.
#define ID_EXIT_BUTTON 1006 // 終了: the main window is asked to close
#define ID_MAIN_BOOK_SELECT 1008 // 宛先・メインアドレス帳: a recipient from the main address book
#define ID_SEND 1009             // 送信
#define ID_SELECT_TEXT_FILE 1010 // 送信テキストファイル名: choose the body file
#define ID_EDIT_TEXT_FILE 1011   // 閲覧/編集 of the body file: open it in the editor
#define ID_SELECT_BIN_FILE 1012  // 送信添付ファイル名: choose the attachment
#define ID_OPEN_BIN_FILE 1013    // 閲覧/編集 of the attachment: open it

// The menu.
#define ID_OPTIONS 32771         // the options dialog
#define ID_SUPPORT_PAGE 32772    // the support page in the browser
#define ID_SENDER_SETTINGS 32773 // the sender settings dialog
#define ID_OPEN_APP_DIR 32774    // the program folder in the file manager
#define ID_EDIT_MAIN_BOOK 32775  // edit the main address book
#define ID_EDIT_GROUP_BOOK 32776 // edit a group address book
#define ID_GROUP_SELECT 32777    // a recipient from a group address book
#define ID_VIEW_LOG 32778        // open a monthly send log
#define ID_VIEW_KEEP 32779       // open a keep copy
#define ID_VIEW_TRACE 32780      // the conversation of the last send command and this month's log
#define ID_RESEND 32781          // the group send again, to the members it left without the mail
#define ID_PREVIEW 32782         // the mail the recipient would get
#define ID_TEST_SEND 32783       // the mail once to the sender's own address

// The stock commands of the menu and the accelerators, by their usual numbers.
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE 57603
#define ID_FILE_PRINT 57607
#define ID_EDIT_COPY 57634
#define ID_EDIT_CUT 57635
#define ID_EDIT_PASTE 57637
#define ID_EDIT_UNDO 57643
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
