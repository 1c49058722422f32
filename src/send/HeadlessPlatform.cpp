// HeadlessPlatform.cpp - the platform seam without a display.
#include "send/HeadlessPlatform.h"

#include "app/TextCodec.h"

#include <cstring>

namespace
{
bool IsSet(const char* psz)
{
    return psz != nullptr && psz[0] != '\0';
}

// The dialog's title and that it ended as Cancel.
std::string Cancelled(const std::string& strTitle)
{
    return std::string(strTitle).append(": キャンセル (画面がありません)");
}
} // namespace

bool IsHeadless(const char* pszDisplay, const char* pszWaylandDisplay, const char* pszQpaPlatform)
{
    if (IsSet(pszQpaPlatform) && std::strcmp(pszQpaPlatform, "offscreen") == 0)
        return true;
    return !IsSet(pszDisplay) && !IsSet(pszWaylandDisplay);
}

void CHeadlessPlatform::WriteLine(std::FILE* pStream, const std::string& strSjis)
{
    std::string strLine = SjisToUtf8Lossy(strSjis);
    // One line per event: line breaks inside a text become blanks.
    for (char& c : strLine)
    {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    strLine += '\n';
    std::fwrite(strLine.data(), 1, strLine.size(), pStream);
    std::fflush(pStream);
}

void CHeadlessPlatform::Say(const std::string& strSjis)
{
    WriteLine(m_pErr, std::string("Tarvell: ").append(strSjis));
}

MsgResult CHeadlessPlatform::ShowMessage(const std::string& strText, MsgButtons buttons)
{
    Say(strText);
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
}

std::size_t CHeadlessPlatform::AskQuestion(const std::string& strText,
                                           const std::vector<std::string>& answers)
{
    Say(strText);
    if (!answers.empty())
        Say(std::string("「").append(answers.front()).append("」を選びました (画面がありません)"));
    return 0;
}

FileDialogResult CHeadlessPlatform::OpenFileDialog(const FileDialogRequest& request)
{
    Say(Cancelled(request.strTitle.empty() ? std::string("ファイルを開く") : request.strTitle));
    return FileDialogResult();
}

int CHeadlessPlatform::ShellOpen(const std::string& strFile, const std::string& /*strParams*/)
{
    Say(std::string(strFile).append(": 画面がないため開けません"));
    return 0;
}

int CHeadlessPlatform::RunModal(IModalDialog& dialog)
{
    Say(Cancelled(dialog.Title()));
    return DLG_CANCEL;
}

void CHeadlessPlatform::StatusChanged(const std::string& strStatus)
{
    WriteLine(m_pOut, strStatus);
}

void CHeadlessPlatform::SendFailureDetail(const std::string& strDetail)
{
    Say(std::string("詳細: ").append(strDetail));
}

void CHeadlessPlatform::GroupSendEnded(const std::string& strSummary,
                                       const std::string& /*strProblems*/, bool /*bTellUser*/)
{
    Say(std::string("集計: ").append(strSummary));
}
