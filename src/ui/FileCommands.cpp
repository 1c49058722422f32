// FileCommands.cpp - the file choices and shell opens that the form and the menu share.
#include "ui/FileCommands.h"

#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "ui/QtText.h"

void OpenInEditor(IPlatform& platform, const CfgData& cfg, const std::string& strArgument)
{
    const std::string strEditor = FieldText(cfg.szEditorPath);
    const bool bEditor = !strEditor.empty() && PathExists(strEditor);
    const int nResult = bEditor ? platform.ShellOpen(strEditor, strArgument)
                                : platform.ShellOpen(strArgument, std::string());
    if (nResult > 32)
        return;
    // The path is shown, so the user can open the file by hand.
    const std::string strFailed =
        ToSjis(QStringLiteral(u"オープンできません。\n")); // troubleshooting
    const std::string strNoProgram = ToSjis(
        QStringLiteral(u"\nこのファイルを開くプログラムがありません。「設定」→「オプション」の「テ"
                       u"キストエディタ」でエディタを選んでください。")); // troubleshooting
    platform.ShowMessage(bEditor ? strFailed + strEditor + " " + strArgument
                                 : strFailed + strArgument + strNoProgram,
                         MsgButtons::Ok);
}

std::vector<std::string> ManualPlaces(const std::string& strProgramDir)
{
    // An installed copy (bin/../share/doc/tarvell), else the one copied beside the built program.
    return {strProgramDir + "../share/doc/tarvell/manual/index.html",
            strProgramDir + "manual/index.html"};
}

std::string FindManual(const std::string& strProgramDir)
{
    for (const std::string& strPath : ManualPlaces(strProgramDir))
    {
        if (GetFileSizeOrZero(strPath) > 0)
            return strPath;
    }
    return std::string();
}
