// TarvellApp.h - the application: start-up, the one document, the main window, and the run. Without
// a display the program runs without Qt instead (send/BatchRun.h).
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

    // Starts the program and runs its event loop, or the run of send/BatchRun.h when there is no
    // display; returns the process's exit status.
    static int Run(int argc, char* argv[]);

    // Start-up in order: socket start-up, the document (records, command line, folders), the main
    // window and the form, shown. False ends the program.
    bool InitInstance(int argc, char* argv[]);

    CQtPlatform& Platform() { return *m_pPlatform; }
    CTarvellDoc& Doc() { return *m_pDoc; }
    CMainFrame& Frame() { return *m_pFrame; }

    static CTarvellApp* Instance() { return s_pInstance; }

  private:
    void CloseOnSignals();

    static CTarvellApp* s_pInstance;
    std::unique_ptr<CQtPlatform> m_pPlatform;
    std::unique_ptr<CTarvellDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
};
