// MainWindow.h - the main window on Windows: a fixed frame (caption, system menu, minimise box)
// with menu 128 around the send form, and the menu commands that do not concern the form.
#pragma once
#include "app/TarvellDoc.h"
#include "win/SendFormWindow.h"

#include <string>

#include <windows.h>

class CWinPlatform;

class CWinMainFrame
{
  public:
    CWinMainFrame(CTarvellDoc& doc, CWinPlatform& platform);
    CWinMainFrame(const CWinMainFrame&) = delete;
    CWinMainFrame& operator=(const CWinMainFrame&) = delete;

    // Creates the frame and the form, fits the frame to the form and runs the form's start;
    // false when a window cannot be made.
    bool Create();
    HWND Handle() const { return m_hWnd; }
    CWinSendForm& View() { return m_view; }

    // Runs the program's message loop until the window has closed.
    void Run();

  private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    bool OnCommand(int nId);
    void OnClose();
    void OnActivate(bool bActive);
    void OnEndSession();
    void OnSupportPage();
    void OnOpenAppDir();
    void OnOptions();
    void OnViewTrace();
    void OnEditMainBook();
    void OnEditGroupBook();
    void OnSenderSettings();
    void OnViewFile(const char* pszFilter, const char* pszFolder, const std::string& strPreset);
    void OnEditCommand(int nId);

    CTarvellDoc& m_doc;
    CWinPlatform& m_platform;
    CWinSendForm m_view;
    HWND m_hWnd = nullptr;
    HACCEL m_hAccel = nullptr;
    bool m_bClosed = false;
    HWND m_hLastFocus = nullptr;
};
