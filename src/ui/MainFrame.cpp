// MainFrame.cpp - the main window.
#include "ui/MainFrame.h"

#include "app/Command.h"
#include "app/TarvellDoc.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>

CMainFrame::CMainFrame(CTarvellDoc& doc, IPlatform& platform) : m_doc(doc), m_platform(platform)
{
    setWindowTitle(QStringLiteral("Tarvell"));
    // A caption with system menu and minimise box: no sizing border, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setCentralWidget(new QLabel(QStringLiteral("Tarvell"), this));
    setFixedSize(sizeHint());
}

void CMainFrame::OnExit()
{
    QTimer::singleShot(0, this, [this] { close(); });
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    if (!m_bClosed)
    {
        m_bClosed = true;
        RunCommand(m_platform, [this] { m_doc.SaveRecords(); });
    }
    pEvent->accept();
}
