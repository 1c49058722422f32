// WinApp.cpp - tarvell.exe: start-up and the run of the window on Windows.
#include "app/Command.h"
#include "app/Process.h"
#include "app/TarvellDoc.h"
#include "app/WinText.h"
#include "mail/SystemSocket.h"
#include "win/MainWindow.h"
#include "win/TestScript.h"
#include "win/WinPlatform.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>

namespace
{
// A start-up problem that has no window to be shown in.
void StartError(const std::string& strUtf8)
{
    // The core's reasons are UTF-8 (they name paths that CP932 may not write).
    std::wstring wide;
    if (!Utf8ToWide(strUtf8, wide))
        wide.assign(strUtf8.begin(), strUtf8.end());
    ::MessageBoxW(nullptr, wide.c_str(), L"Tarvell", MB_OK | MB_ICONEXCLAMATION);
}
} // namespace

int main(int argc, char* argv[])
{
    ProtectSecretsInMemory();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    // The folder chooser is a shell dialog: it wants COM on this thread.
    const HRESULT hrCom = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CWinPlatform platform;
    if (!StartSystemSockets())
    {
        const char* const pszText = "Windows ｿｹｯﾄの初期化に失敗しました。"; // troubleshooting
        platform.ShowMessage(pszText, MsgButtons::Ok);
        return 1;
    }
    std::string strError;
    const std::string strAppDir = DataFolder(strError);
    if (strAppDir.empty())
    {
        StartError(strError);
        return 1;
    }
    const std::string strCmdLine = RawCommandLine(argc, argv, strError);
    if (!strError.empty())
        StartError(std::string(strError).append("; the command line is ignored"));

    std::unique_ptr<CTarvellDoc> pDoc;
    try
    {
        pDoc = std::make_unique<CTarvellDoc>(platform, strAppDir, strCmdLine);
    }
    catch (const CFileException& e)
    {
        platform.ReportFileError(e);
        const char* const pszText = "空のﾄﾞｷｭﾒﾝﾄの作成に失敗しました。"; // troubleshooting
        platform.ShowMessage(pszText, MsgButtons::Ok);
        return 1;
    }
    {
        CWinMainFrame frame(*pDoc, platform);
        if (!frame.Create())
            return 1;
        StartTestScript(frame.Handle(), frame.View().Handle());
        frame.Run();
    }
    pDoc.reset();
    if (SUCCEEDED(hrCom))
        ::CoUninitialize();
    return 0;
}
