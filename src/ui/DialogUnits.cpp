// DialogUnits.cpp - dialog units from the dialog font's metrics.
#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

QFont DialogFont()
{
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width of the 52 Latin letters, rounded, as the dialog manager measures it.
    const int nAlphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = (nAlphabet / 26 + 1) / 2;
    m_nBaseY = metrics.height();
    if (m_nBaseX < 1)
        m_nBaseX = 1;
    if (m_nBaseY < 1)
        m_nBaseY = 1;
}

int CDialogUnits::X(int nUnits) const
{
    return (nUnits * m_nBaseX + 2) / 4;
}

int CDialogUnits::Y(int nUnits) const
{
    return (nUnits * m_nBaseY + 4) / 8;
}

QRect CDialogUnits::Rect(int x, int y, int cx, int cy) const
{
    // Right and bottom edges are converted on their own so that neighbours meet exactly.
    const int nLeft = X(x);
    const int nTop = Y(y);
    return QRect(nLeft, nTop, X(x + cx) - nLeft, Y(y + cy) - nTop);
}

QSize CDialogUnits::Size(int cx, int cy) const
{
    return QSize(X(cx), Y(cy));
}

void CDialogUnits::Place(QWidget* pWidget, int x, int y, int cx, int cy) const
{
    pWidget->setGeometry(Rect(x, y, cx, cy));
}
