// WinPlatform.h - the platform seam on the Windows desktop: MessageBoxW, the common file dialog,
// the shell's "open", thread timers. Texts arrive as CP932 and cross to UTF-16 here.
#pragma once
#include "app/Platform.h"

#include <map>
#include <string>
#include <vector>

#include <windows.h>

// "Label|pattern|Label|pattern||" as the common file dialog wants it: each part ended by a zero
// character, the whole by one more. Empty for an empty filter.
std::wstring FileDialogFilter(const std::wstring& filter);
// The default extension as the dialog wants it: none for "" and "*", else without a leading dot.
std::wstring FileDialogDefaultExt(const std::wstring& ext);

class CWinPlatform : public IPlatform
{
  public:
    CWinPlatform();
    ~CWinPlatform() override;
    CWinPlatform(const CWinPlatform&) = delete;
    CWinPlatform& operator=(const CWinPlatform&) = delete;

    // The window the boxes and dialogs belong to when none of this thread is active.
    void SetMainWindow(HWND hWnd) { m_hMain = hWnd; }
    HWND Owner() const;

    MsgResult ShowMessage(const std::string& strText, MsgButtons buttons) override;
    // A task dialog with one button per answer; where the system has none, the base's OK and
    // Cancel.
    std::size_t AskQuestion(const std::string& strText,
                            const std::vector<std::string>& answers) override;
    FileDialogResult OpenFileDialog(const FileDialogRequest& request) override;
    int ShellOpen(const std::string& strFile, const std::string& strParams) override;
    int RunModal(IModalDialog& dialog) override { return dialog.Exec(); }
    bool StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick) override;
    void StopTimer(int nId) override;

  private:
    static void CALLBACK OnThreadTimer(HWND hWnd, UINT uMsg, UINT_PTR nTimer, DWORD dwTime);
    FileDialogResult ChooseFolder(const FileDialogRequest& request);
    // The chosen path back to CP932; false, after a message, when it cannot be written so.
    bool ToResult(const std::wstring& path, FileDialogResult& result);

    struct Timer
    {
        UINT_PTR nSystemId;
        std::function<void(int)> onTick;
    };
    HWND m_hMain = nullptr;
    std::map<int, Timer> m_timers;
};
