// StatusLine.h - the send form's status line: a read-only line whose text, when it is too long
// for the line, is shown cut in the middle ("送信失敗-…ません") so that both its start (whom) and
// its end (why) stay visible; the whole text is always in the tooltip.
#pragma once
#include <QLineEdit>

class CStatusLine : public QLineEdit
{
    Q_OBJECT
  public:
    explicit CStatusLine(QWidget* pParent = nullptr);

    // The status text, and what the tooltip says above the whole text (empty for nothing).
    void SetStatus(const QString& qstrText, const QString& qstrMore);

    // The text as the line shows it at its present width.
    QString DisplayedText() const;

  protected:
    void paintEvent(QPaintEvent* pEvent) override;

  private:
    QRect TextRect() const;
};
