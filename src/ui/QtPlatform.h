// QtPlatform.h - the platform seam on a desktop: Qt message boxes and file dialogs, the desktop's
// file associations, QTimer.
#pragma once
#include "app/Platform.h"

#include <QString>

#include <map>
#include <memory>

class QTimer;
class QWidget;

class CQtPlatform : public IPlatform
{
  public:
    CQtPlatform();
    ~CQtPlatform() override;

    // Message boxes and file dialogs are owned by this window when it is set.
    void SetMainWindow(QWidget* pWindow) { m_pMainWindow = pWindow; }

    MsgResult MessageBox(const std::string& strText, MsgButtons buttons) override;
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
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};

// Turns "Label|*.a;*.b|Label2|*.c||" into Qt's "Label (*.a *.b);;Label2 (*.c)".
QString QtFileFilter(const std::string& strFilter);
