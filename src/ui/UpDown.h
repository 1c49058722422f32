// UpDown.h - an up-down control: two small arrow buttons at the right edge of a number edit
// (its buddy) that step the number in the edit within a range. The arrow keys in the edit step
// it too. A text that is not a number steps from the low end.
#pragma once
#include <QWidget>

class QLineEdit;

class CUpDown : public QWidget
{
    Q_OBJECT
  public:
    CUpDown(QLineEdit* pBuddy, QWidget* pParent);

    void SetRange(int nLow, int nHigh);
    void Step(int nDelta);

  protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

  private:
    QLineEdit* m_pBuddy;
    int m_nLow = 0;
    int m_nHigh = 100;
};
