// UpDown.cpp - an up-down control tied to a number edit.
#include "ui/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

CUpDown::CUpDown(QLineEdit* pBuddy, QWidget* pParent) : QWidget(pParent), m_pBuddy(pBuddy)
{
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    const struct
    {
        Qt::ArrowType arrow;
        int nDelta;
        const char* pszName;
    } arrows[] = {{Qt::UpArrow, 1, "m_btnUp"}, {Qt::DownArrow, -1, "m_btnDown"}};
    for (const auto& arrow : arrows)
    {
        auto* pButton = new QToolButton(this);
        pButton->setObjectName(QLatin1String(arrow.pszName));
        pButton->setArrowType(arrow.arrow);
        pButton->setAutoRepeat(true);
        pButton->setFocusPolicy(Qt::NoFocus);
        pButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        const int nDelta = arrow.nDelta;
        connect(pButton, &QToolButton::clicked, this, [this, nDelta] { Step(nDelta); });
        pLayout->addWidget(pButton);
    }
    m_pBuddy->installEventFilter(this);
}

void CUpDown::SetRange(int nLow, int nHigh)
{
    m_nLow = nLow;
    m_nHigh = nHigh;
}

void CUpDown::Step(int nDelta)
{
    // Wide arithmetic: a typed number at the end of int's range must not overflow the step.
    bool bOk = false;
    qint64 nValue = m_pBuddy->text().trimmed().toLongLong(&bOk);
    if (!bOk)
        nValue = m_nLow;
    else
        nValue += nDelta;
    nValue = qBound(qint64(m_nLow), nValue, qint64(m_nHigh));
    m_pBuddy->setText(QString::number(nValue));
}

bool CUpDown::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pBuddy && pEvent->type() == QEvent::KeyPress)
    {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Up || nKey == Qt::Key_Down)
        {
            Step(nKey == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}
