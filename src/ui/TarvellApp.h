// TarvellApp.h - the application: start-up, the one document, the main window, and the run.
#pragma once
#include <memory>

class CMainFrame;
class CQtPlatform;
class CTarvellDoc;
class QTranslator;

// Installs Qt's Japanese texts from the distribution's translations (qt6-translations-l10n);
// false when they are not installed (Qt's texts then stay English).
bool LoadQtTranslations(QTranslator& translator);

class CTarvellApp
{
  public:
    CTarvellApp();
    ~CTarvellApp();

    // Starts the program and runs its event loop; returns the process's exit status.
    static int Run(int argc, char* argv[]);

    // Start-up in order: socket start-up, the document (records, command line, folders), the main
    // window and the form, shown. False ends the program.
    bool InitInstance(int argc, char* argv[]);

    // Exit status of the run (a run without a display sets it when it closes: EXIT_* of
    // SendForm.h).
    void SetExitCode(int nCode) { m_nExitCode = nCode; }
    int ExitCode() const { return m_nExitCode; }

    bool IsHeadless() const { return m_bHeadless; }
    CQtPlatform& Platform() { return *m_pPlatform; }
    CTarvellDoc& Doc() { return *m_pDoc; }
    CMainFrame& Frame() { return *m_pFrame; }

    static CTarvellApp* Instance() { return s_pInstance; }

  private:
    bool InitSockets();
    void CloseOnSignals();

    static CTarvellApp* s_pInstance;
    bool m_bHeadless = false;
    int m_nExitCode = 0;
    std::unique_ptr<CQtPlatform> m_pPlatform;
    std::unique_ptr<CTarvellDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
};
