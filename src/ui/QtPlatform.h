// QtPlatform.h - the platform seam on a desktop: Qt message boxes and file dialogs, the desktop's
// file associations, QTimer.
#pragma once
#include "app/Platform.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class QObject;
class QTimer;
class QWidget;

// Runs the event loop while a worker runs: a timer calls drain (which carries the worker's posted
// calls over) every 10 ms until it says the worker has finished, whatever else ends a loop
// meanwhile.
void RunEventsUntilDrained(const std::function<bool()>& drain);

class CQtPlatform : public IPlatform
{
  public:
    CQtPlatform();
    ~CQtPlatform() override;

    // Message boxes and file dialogs are owned by this window when it is set.
    void SetMainWindow(QWidget* pWindow) { m_pMainWindow = pWindow; }

    // The desktop's opener of files, folders and web addresses; the target is its last argument.
    // A test puts a program of its own here.
    void SetOpener(QStringList command) { m_opener = std::move(command); }

    MsgResult ShowMessage(const std::string& strText, MsgButtons buttons) override;
    std::size_t AskQuestion(const std::string& strText,
                            const std::vector<std::string>& answers) override;
    FileDialogResult OpenFileDialog(const FileDialogRequest& request) override;
    int ShellOpen(const std::string& strFile, const std::string& strParams) override;
    int RunModal(IModalDialog& dialog) override;
    bool StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick) override;
    void StopTimer(int nId) override;

  protected:
    QWidget* m_pMainWindow = nullptr;

  private:
    // The opener ended with a failure after ShellOpen had returned: nobody else can tell.
    void OnOpenerFailed(const std::string& strTarget, const QString& qstrReason);

    QStringList m_opener{QStringLiteral("xdg-open")};
    // Receives the openers' ends: destroyed with the platform, so a late end finds no dangling
    // platform. The openers themselves are left running (closing it must not kill a browser).
    std::unique_ptr<QObject> m_pOpenerContext;
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};

// Turns "Label|*.a;*.b|Label2|*.c||" into Qt's "Label (*.a *.b);;Label2 (*.c)".
QString QtFileFilter(const std::string& strFilter);
