// WinControls.h - CP932 texts in and out of Win32 controls, with the byte-limit checks of the
// data exchange.
#pragma once
#include "app/Platform.h"

#include <string>
#include <vector>

#include <windows.h>

// The control's text as UTF-16.
std::wstring WindowTextWide(HWND hWnd);
// Shows a CP932 text in a control.
void SetWindowTextSjis(HWND hWnd, const std::string& strSjis);
// Reads an edit back into str: a text over nLimit CP932 bytes, or one CP932 cannot write, shows
// its message, puts the focus in the edit with its text selected and leaves str alone.
bool ReadLimitedText(IPlatform& platform, HWND hEdit, std::string& str, int nLimit);
// Shows str and lets the user type no more than nLimit characters (the byte limit is checked
// when the text is read back: a double-byte character counts two there).
void ShowLimitedText(HWND hEdit, const std::string& str, int nLimit);

// Fonts made narrower for the buttons and labels whose text would not fit their place in the
// template (the Japanese UI font may be wider than the one the templates were laid out for);
// they live as long as this object.
class CFittedFonts
{
  public:
    CFittedFonts() = default;
    CFittedFonts(const CFittedFonts&) = delete;
    CFittedFonts& operator=(const CFittedFonts&) = delete;
    ~CFittedFonts() { Release(); }

    // Fits every push button and static text of hDlg.
    void Fit(HWND hDlg);
    void Release();

  private:
    void FitControl(HWND hControl);
    std::vector<HFONT> m_fonts;
};
