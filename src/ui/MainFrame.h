// MainFrame.h - the main window: a fixed frame around the send form, with the menu bar. It takes
// the menu commands the form does not: leaving, the support page, the program folder, the address
// books, the log and keep viewers, the settings dialogs and the About box.
#pragma once
#include "app/CommandIds.h" // the commands SendCommand routes

#include <QMainWindow>
#include <QPointer>

#include <string>

class CSendRecordDlg;
class CTarvellDoc;
class CTarvellView;
class IPlatform;
class QMenu;

class CMainFrame : public QMainWindow
{
    Q_OBJECT

  public:
    // Builds the menu and the form and runs the form's initial update.
    CMainFrame(CTarvellDoc& doc, IPlatform& platform);

    CTarvellDoc& GetActiveDocument() { return m_doc; }
    CTarvellView& View() { return *m_pView; }

    // Routes a command as a menu choice does: the form first, then this window, then the
    // application. Returns false when nobody took it.
    bool SendCommand(int nId);

    // Posts a close request: the window closes once control is back in the event loop.
    void OnExit();
    void OnOptions();
    void OnSupportPage();
    void OnSenderSettings();
    void OnOpenAppDir();
    void OnEditMainBook();
    void OnEditGroupBook();
    void OnViewLog();
    void OnViewKeep();
    // The send-record viewer: the last send's conversation and this month's log, read-only.
    void OnViewTrace();
    void OnAppAbout(); // the application's: the About box
    void OnFileNew();  // Ctrl+N: the form starts afresh, nothing is read or written

    // The program file's folder (CP932, ending in "/"), where the support item looks for the
    // manual; set at construction.
    std::string m_strProgramDir;

  protected:
    // Every close (menu, button, close box, signal, automatic quit) ends here: the form is
    // destroyed, then the document writes its two record files.
    void closeEvent(QCloseEvent* pEvent) override;
    // The form has one size: a maximise asked for by the window manager (its menu, a double-click
    // on the caption) is undone.
    void changeEvent(QEvent* pEvent) override;

  private:
    bool OnCommand(int nId);
    void AddCommand(QMenu* pMenu, const QString& qstrText, int nId);
    // Lets the user pick a log or keep file and opens it in the editor or its associated program.
    void ViewTextFile(const QString& qstrFilter, const char* pszFolder,
                      const std::string& strPreset);

    CTarvellDoc& m_doc;
    IPlatform& m_platform;
    CTarvellView* m_pView;
    bool m_bClosed = false;
    QPointer<CSendRecordDlg> m_pRecordDlg; // made on first use, kept while the window lives
};
