// TarvellApp.cpp - start-up and the run of the program.
#include "ui/TarvellApp.h"

#include "app/CloseRequest.h"
#include "app/Process.h"
#include "app/TarvellDoc.h"
#include "send/BatchRun.h"
#include "mail/SystemSocket.h"
#include "send/SendForm.h"
#include "ui/MainFrame.h"
#include "ui/QtPlatform.h"
#include "ui/QtText.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

CTarvellApp* CTarvellApp::s_pInstance = nullptr;

namespace
{
// How often the event loop looks for a close request (SIGINT, SIGTERM).
constexpr int CLOSE_REQUEST_POLL_MS = 100;

void WriteError(const std::string& strUtf8)
{
    std::fprintf(stderr, "Tarvell: %s\n", strUtf8.c_str());
}
} // namespace

bool LoadQtTranslations(QTranslator& translator)
{
    // Qt's own texts (stock buttons, file dialogs) in Japanese, from the distribution's
    // translations package; the program's own texts are Japanese already.
    if (!translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

CTarvellApp::CTarvellApp()
{
    s_pInstance = this;
}

CTarvellApp::~CTarvellApp()
{
    m_pFrame.reset();
    m_pDoc.reset();
    s_pInstance = nullptr;
}

int CTarvellApp::Run(int argc, char* argv[])
{
    // Without a display the run needs no Qt at all: the same run as tarvell-batch.
    if (::IsHeadless(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                     std::getenv("QT_QPA_PLATFORM")))
        return RunBatchProgram(argc, argv);
    ProtectSecretsInMemory();
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr)
    {
        // Qt wants a private runtime folder and warns on standard error without one; a session
        // started without a login manager may have none.
        const std::string strRuntime = "/tmp/runtime-" + std::to_string(::getuid());
        ::mkdir(strRuntime.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", strRuntime.c_str(), 1);
    }
    // From the very start: a request that comes before the window is up closes it as soon as the
    // event loop runs. Closing the window cancels a send that runs on its worker.
    CatchCloseRequests(nullptr);
    QApplication qapp(argc, argv);
    QTranslator qtTexts;
    LoadQtTranslations(qtTexts);
    CTarvellApp app;
    if (!app.InitInstance(argc, argv))
        return FailedStartStatus(argc, argv);
    return QApplication::exec();
}

bool CTarvellApp::InitInstance(int argc, char* argv[])
{
    m_pPlatform = std::make_unique<CQtPlatform>();
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));

    if (!StartSystemSockets())
    {
        m_pPlatform->ShowMessage(ToSjis(QStringLiteral(u"Windows ｿｹｯﾄの初期化に失敗しました。")),
                                 MsgButtons::Ok);
        return false;
    }

    std::string strError;
    const std::string strAppDir = DataFolder(strError);
    if (strAppDir.empty())
    {
        WriteError(strError);
        return false;
    }
    const std::string strCmdLine = RawCommandLine(argc, argv, strError);
    if (!strError.empty())
        WriteError(strError + "; the command line is ignored");

    try
    {
        m_pDoc = std::make_unique<CTarvellDoc>(*m_pPlatform, strAppDir, strCmdLine);
    }
    catch (const CFileException& e)
    {
        m_pPlatform->ReportFileError(e);
        m_pPlatform->ShowMessage(ToSjis(QStringLiteral(u"空のﾄﾞｷｭﾒﾝﾄの作成に失敗しました。")),
                                 MsgButtons::Ok);
        return false;
    }

    m_pFrame = std::make_unique<CMainFrame>(*m_pDoc, *m_pPlatform);
    m_pPlatform->SetMainWindow(m_pFrame.get());
    CloseOnSignals();
    m_pFrame->show();
    m_pFrame->repaint();
    return true;
}

void CTarvellApp::CloseOnSignals()
{
    // SIGINT and SIGTERM close the program the way the close box does, so nothing is lost.
    auto* pPoll = new QTimer(m_pFrame.get());
    QObject::connect(pPoll, &QTimer::timeout, m_pFrame.get(), [this, pPoll] {
        if (!CloseRequested())
            return;
        pPoll->stop();
        m_pFrame->close();
    });
    pPoll->start(CLOSE_REQUEST_POLL_MS);
}
