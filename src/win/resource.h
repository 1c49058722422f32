// resource.h - the numbers of the window's resources: menu, accelerators, icon and dialog
// templates and their controls. Shared by tarvell.rc and the code. The commands' numbers (the
// menu's, the accelerators' and the form buttons') come from app/CommandIds.h.
#pragma once
#include "app/CommandIds.h"

#define IDR_MAINFRAME 128 // menu, accelerators and icon of the main window
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#define IDD_ABOUTBOX 100
#define IDD_FORM 101
#define IDD_SENDER 131
#define IDD_ADDRESS 132
#define IDD_OPTION 133
#define IDD_DELIVERY 134
#define IDD_TEXT_VIEW 135 // the send records and the preview
#define IDD_SIGN_IN 136   // the wait for the browser's OAuth 2.0 sign-in

// The send form (template 101).
#define IDC_TO_NAME 1000
#define IDC_TO_ADDRESS 1001
#define IDC_TITLE 1002
#define IDC_TEXT_FILE 1003
#define IDC_BIN_FILE 1004
#define IDC_STATUS 1005
#define IDC_EXIT ID_EXIT_BUTTON
#define IDC_ADDRESS_BOOK ID_MAIN_BOOK_SELECT
#define IDC_SEND ID_SEND
#define IDC_SELECT_TEXT_FILE ID_SELECT_TEXT_FILE
#define IDC_EDIT_TEXT_FILE ID_EDIT_TEXT_FILE
#define IDC_SELECT_BIN_FILE ID_SELECT_BIN_FILE
#define IDC_OPEN_BIN_FILE ID_OPEN_BIN_FILE
#define IDC_ABORT 1014 // shown over the right end of the status line while a send runs

// The sender settings (template 131).
#define IDC_SENDER_NAME 1015
#define IDC_SENDER_ADDRESS 1016
#define IDC_SMTP_SERVER 1017
#define IDC_POP3_SERVER 1018
#define IDC_LOGIN_NAME 1019
#define IDC_PASSWORD 1020
#define IDC_DELIVERY 1021 // 接続設定...: the connection settings

// The connection settings (template 134).
#define IDC_SMTP_SECURITY 1050
#define IDC_POP_SECURITY 1051
#define IDC_AUTH 1052
#define IDC_CA_BROWSE 1053
#define IDC_CA_FILE 1054
#define IDC_CHARSET 1055
#define IDC_INTERVAL 1056
#define IDC_INTERVAL_SPIN 1057
#define IDC_PORTS 1058
#define IDC_WARNING 1059
// OAuth 2.0: the provider, the six texts in the order of OAuthField (client ID first), the
// sign-in button and the line that tells whether a sign-in is kept.
#define IDC_OAUTH_PROVIDER 1061
#define IDC_OAUTH_CLIENT_ID 1062
#define IDC_OAUTH_TENANT 1063
#define IDC_OAUTH_AUTHORIZE_URL 1064
#define IDC_OAUTH_TOKEN_URL 1065
#define IDC_OAUTH_DEVICE_URL 1066
#define IDC_OAUTH_SCOPE 1067
#define IDC_OAUTH_SIGN_IN 1068
#define IDC_OAUTH_STATE 1069

// The address book (template 132); 1000, 1001, 1025 and 1029 are CAddressDlg's fields.
#define IDC_BOOK_NAME 1000
#define IDC_BOOK_ADDRESS 1001
#define IDC_BOOK_CLEAR 1023
#define IDC_BOOK_SELECT 1024
#define IDC_BOOK_NO 1025
#define IDC_BOOK_SPIN 1026
#define IDC_BOOK_REGISTER 1027
#define IDC_BOOK_LIST 1028
#define IDC_BOOK_INFO 1029
#define IDC_BOOK_BROWSE 1036

// The options (template 133).
#define IDC_EDITOR_BROWSE 1030
#define IDC_EDITOR_PATH 1031
#define IDC_TEXT_DIR_BROWSE 1032
#define IDC_TEXT_DIR 1033
#define IDC_BIN_DIR_BROWSE 1034
#define IDC_BIN_DIR 1035

// The About box (template 100).
#define IDC_ABOUT_VERSION 1040
#define IDC_ABOUT_COPYRIGHT 1041

// The text viewer (template 135).
#define IDC_VIEW_TEXT 1060
