// AppFiles.h - the names of everything Tarvell keeps in its program folder (the data folder,
// m_szAppDir, which ends in a separator), each written once here:
//
//   Tarvell.cfg                           the settings record
//   SenderInf.tvl                         the sender record, scrambled
//   Address.tvl                           the main address book (a group book is any other .tvl)
//   Delivery.ini                          the delivery profile
//   OAuthToken.ini                        the OAuth 2.0 refresh token
//   Tarvell.lck                           on Windows, the marker a running Tarvell keeps locked
//   keep/YYYYMMDD_HHMMSS(NN)_NAME.txt     the body of each mail sent
//   log/Tarvell_YYYYMM.txt                the send log of the month
//   log/trace.txt                         the conversation of the last send command
//   log/results/YYYYMMDD_HHMMSS_BOOK.tsv  the members' results of a group send
//
// The names are ASCII, so they are the same bytes in the core's CP932 and in the Qt shell's UTF-8.
#pragma once
#include <string_view>

// The files directly in the program folder.
constexpr const char* kCfgFileName = "Tarvell.cfg";
constexpr const char* kSenderFileName = "SenderInf.tvl";
constexpr const char* MAIN_BOOK_NAME = "Address.tvl";
constexpr const char* kDeliveryFileName = "Delivery.ini";
constexpr const char* kOAuthTokenFileName = "OAuthToken.ini";
constexpr const char* kInUseMarkerName = "Tarvell.lck";

// The folders, as paths below the program folder that end in '/'.
constexpr const char* kKeepFolder = "keep/";
constexpr const char* kLogFolder = "log/";
constexpr const char* kResultsFolder = "log/results/";

// The trace of the last send command, below the program folder.
constexpr const char* kTracePath = "log/trace.txt";

// The month's send log in log/: its name as a strftime pattern of the month, and that name without
// ".txt" (what the log's file dialog offers, the dialog adding the extension).
constexpr const char* kSendLogPattern = "Tarvell_%Y%m.txt";
constexpr const char* kSendLogStemPattern = "Tarvell_%Y%m";
static_assert(std::string_view(kSendLogPattern)
                  .substr(0, std::string_view(kSendLogStemPattern).size()) == kSendLogStemPattern);
