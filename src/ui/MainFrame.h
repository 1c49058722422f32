// MainFrame.h - the main window: a fixed frame around the send form, with the menu bar.
#pragma once
#include <QMainWindow>

class CTarvellDoc;
class IPlatform;

class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    CMainFrame(CTarvellDoc& doc, IPlatform& platform);

    CTarvellDoc& GetActiveDocument() { return m_doc; }

    // Posts a close request: the window closes once control is back in the event loop.
    void OnExit();

protected:
    // Every close (menu, button, close box, signal, automatic quit) ends here: the form is
    // destroyed, then the document writes its two record files.
    void closeEvent(QCloseEvent* pEvent) override;

private:
    CTarvellDoc& m_doc;
    IPlatform& m_platform;
    bool m_bClosed = false;
};
