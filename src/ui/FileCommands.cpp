// FileCommands.cpp - the file choices and shell opens that the form and the menu share.
#include "ui/FileCommands.h"

#include "addr/AddressDlg.h"
#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "ui/QtText.h"

std::optional<std::string> ChooseGroupBook(IPlatform& platform, const std::string& strAppDir,
                                           GroupBookChoice choice)
{
    FileDialogRequest request;
    request.strStartDir = strAppDir;
    request.strDefaultExt = "tvl";
    request.strFilter = ToSjis(QStringLiteral(u"グループアドレス帳(@*.tvl)|@*.tvl||"));
    request.bMustExist = choice == GroupBookChoice::Existing;
    if (choice == GroupBookChoice::NewOrOld)
    {
        request.strPresetName = ToSjis(QStringLiteral(u"@新規"));
        request.bAskCreate = true;
    }
    const FileDialogResult result = platform.OpenFileDialog(request);
    if (!result.bConfirmed)
        return std::nullopt;
    constexpr std::size_t MAX_BOOK_NAME = sizeof(CAddressDlg::m_szBookFile) - 1;
    if (result.strName.size() > MAX_BOOK_NAME)
    {
        platform.MessageBox(TextTooLongMessage(MAX_BOOK_NAME), MsgButtons::Ok);
        return std::nullopt;
    }
    return result.strName;
}

void OpenInEditor(IPlatform& platform, const CfgData& cfg, const std::string& strArgument)
{
    const std::string strEditor = FieldText(cfg.szEditorPath);
    const int nResult = !strEditor.empty() && PathExists(strEditor)
                            ? platform.ShellOpen(strEditor, strArgument)
                            : platform.ShellOpen(strArgument, std::string());
    if (nResult <= 32)
        platform.MessageBox(ToSjis(QStringLiteral(u"オープンできません。")), MsgButtons::Ok);
}

void OpenSendTrace(IPlatform& platform, const CfgData& cfg, const std::string& strAppDir)
{
    OpenInEditor(platform, cfg, strAppDir + "log/trace.txt");
}
