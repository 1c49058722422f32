// HeadlessPlatform.cpp - the platform seam without a display.
#include "ui/HeadlessPlatform.h"

#include "app/TextCodec.h"
#include "ui/QtText.h"

#include <cstring>

namespace
{
bool IsSet(const char* psz)
{
    return psz != nullptr && psz[0] != '\0';
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

MsgResult CHeadlessPlatform::ShowMessage(const std::string& strText, MsgButtons buttons)
{
    WriteLine(m_pErr, "Tarvell: " + strText);
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
}

std::size_t CHeadlessPlatform::AskQuestion(const std::string& strText,
                                           const std::vector<std::string>& answers)
{
    WriteLine(m_pErr, "Tarvell: " + strText);
    if (!answers.empty())
        WriteLine(m_pErr, "Tarvell: " + ToSjis(QStringLiteral(u"「")) + answers.front() +
                              ToSjis(QStringLiteral(u"」を選びました (画面がありません)")));
    return 0;
}

FileDialogResult CHeadlessPlatform::OpenFileDialog(const FileDialogRequest& request)
{
    const std::string strTitle =
        request.strTitle.empty() ? ToSjis(QStringLiteral(u"ファイルを開く")) : request.strTitle;
    WriteLine(m_pErr,
              "Tarvell: " + strTitle + ToSjis(QStringLiteral(u": キャンセル (画面がありません)")));
    return FileDialogResult();
}

int CHeadlessPlatform::ShellOpen(const std::string& strFile, const std::string& /*strParams*/)
{
    WriteLine(m_pErr,
              "Tarvell: " + strFile + ToSjis(QStringLiteral(u": 画面がないため開けません")));
    return 0;
}

int CHeadlessPlatform::RunModal(IModalDialog& dialog)
{
    WriteLine(m_pErr, "Tarvell: " + dialog.Title() +
                          ToSjis(QStringLiteral(u": キャンセル (画面がありません)")));
    return DLG_CANCEL;
}

void CHeadlessPlatform::StatusChanged(const std::string& strStatus)
{
    WriteLine(m_pOut, strStatus);
}

void CHeadlessPlatform::SendFailureDetail(const std::string& strDetail)
{
    WriteLine(m_pErr, "Tarvell: " + ToSjis(QStringLiteral(u"詳細: ")) + strDetail);
}

void CHeadlessPlatform::GroupSendEnded(const std::string& strSummary,
                                       const std::string& /*strProblems*/, bool /*bTellUser*/)
{
    WriteLine(m_pErr, "Tarvell: " + ToSjis(QStringLiteral(u"集計: ")) + strSummary);
}
