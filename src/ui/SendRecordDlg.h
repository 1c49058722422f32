// SendRecordDlg.h - the send-record viewer (ツール → 送信記録を閲覧, or a double-click on the
// status line): a window beside the form that shows log/trace.txt, the conversation of the last
// send command, and the month's send log as readable text, read-only, each with a button that opens
// the file in the text editor for those who want it.
#pragma once
#include "app/Records.h"

#include <QDialog>

#include <string>

class IPlatform;
class QLabel;
class QPlainTextEdit;

class CSendRecordDlg : public QDialog
{
    Q_OBJECT
  public:
    // strAppDir: the program folder (CP932, ending in "/"); cfg gives the text editor.
    CSendRecordDlg(IPlatform& platform, const CfgData& cfg, QWidget* pParent = nullptr);

    // Reads both files again (strLogName: "Tarvell_YYYYMM.txt" of this month) and shows them.
    void ShowRecords(const std::string& strAppDir, const std::string& strLogName);

  private:
    struct Pane
    {
        QLabel* pLabelPath;
        QPlainTextEdit* pText;
        std::string strPath;
    };
    Pane MakePane(QWidget* pParent, const QString& qstrTitle, const char* pszName);
    void ShowFile(Pane& pane, const std::string& strPath);

    IPlatform& m_platform;
    const CfgData& m_cfg;
    Pane m_trace;
    Pane m_log;
};

// A record file's bytes (CP932, CR LF) as text a person reads: LF line ends, every other control
// character but TAB shown as U+FFFD (a server's reply may hold any byte).
QString ReadableRecordText(const std::string& strBytes);
