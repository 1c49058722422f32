// GroupBookChoice.cpp - the file dialog that picks a group address book.
#include "addr/GroupBookChoice.h"

#include "addr/AddressDlg.h"
#include "app/DataExchange.h"

std::optional<std::string> ChooseGroupBook(IPlatform& platform, const std::string& strAppDir,
                                           GroupBookChoice choice)
{
    FileDialogRequest request;
    request.strStartDir = strAppDir;
    request.strDefaultExt = "tvl";
    request.strFilter = "グループアドレス帳(@*.tvl)|@*.tvl||";
    request.bMustExist = choice == GroupBookChoice::Existing;
    if (choice == GroupBookChoice::NewOrOld)
    {
        request.strPresetName = "@新規";
        request.bAskCreate = true;
    }
    const FileDialogResult result = platform.OpenFileDialog(request);
    if (!result.bConfirmed)
        return std::nullopt;
    // A group address names its book with ".tvl": a name typed without an extension gets it even
    // where the dialog did not add it (Wine's, after asking to create the file), so the book
    // made here can be sent to.
    std::string strName = result.strName;
    if (strName.find('.') == std::string::npos)
        strName.append(".tvl");
    constexpr std::size_t MAX_BOOK_NAME = sizeof(CAddressDlg::m_szBookFile) - 1;
    if (strName.size() > MAX_BOOK_NAME)
    {
        platform.ShowMessage(TextTooLongMessage(MAX_BOOK_NAME), MsgButtons::Ok);
        return std::nullopt;
    }
    return strName;
}
