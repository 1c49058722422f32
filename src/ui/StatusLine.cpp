// StatusLine.cpp - the status line that cuts a long text in the middle.
#include "ui/StatusLine.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

CStatusLine::CStatusLine(QWidget* pParent) : QLineEdit(pParent)
{
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
}

void CStatusLine::SetStatus(const QString& qstrText, const QString& qstrMore)
{
    setText(qstrText);
    // What is said about the text first, where the eye starts; the text itself whole below it.
    setToolTip(qstrMore.isEmpty() || qstrText.isEmpty() ? qstrMore + qstrText
                                                        : qstrMore + QLatin1Char('\n') + qstrText);
}

QRect CStatusLine::TextRect() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    // The margins a line edit keeps around its text.
    return style()
        ->subElementRect(QStyle::SE_LineEditContents, &option, this)
        .adjusted(2, 0, -2, 0);
}

QString CStatusLine::DisplayedText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextRect().width());
}

void CStatusLine::paintEvent(QPaintEvent* pEvent)
{
    const QString qstrShown = DisplayedText();
    if (qstrShown == text())
    {
        QLineEdit::paintEvent(pEvent); // it fits: the line edit paints it as ever
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(TextRect(), Qt::AlignCenter, qstrShown);
}
