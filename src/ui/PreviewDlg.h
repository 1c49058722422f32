// PreviewDlg.h - the preview window (ツール → プレビュー): the mail a recipient would get, as a
// reader shows it and as its source, read-only.
#pragma once
#include "send/MessagePreview.h"

#include <QDialog>

class QPlainTextEdit;

class CPreviewDlg : public QDialog
{
    Q_OBJECT
  public:
    explicit CPreviewDlg(QWidget* pParent = nullptr);

    void ShowPreview(const MessagePreview& preview);

  private:
    QPlainTextEdit* m_pShown;
    QPlainTextEdit* m_pSource;
};

// The message source as text: it is 7-bit, so each byte is one character; ESC shows as "␛" so
// the ISO-2022-JP shifts stay visible.
QString SourceText(const std::string& strSource);
