// DialogUnits.h - places controls the way the desktop's dialog manager does: sizes and positions
// are given in dialog units, a quarter of the font's average character width across and an eighth
// of its height down.
#pragma once
#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

// The font of every dialog and of the send form: a Japanese sans-serif at 9 points, picked by
// fontconfig (Noto Sans CJK JP where fonts-noto-cjk is installed).
QFont DialogFont();

class CDialogUnits
{
  public:
    explicit CDialogUnits(const QFont& font);

    int X(int nUnits) const; // horizontal dialog units to pixels
    int Y(int nUnits) const; // vertical dialog units to pixels
    QRect Rect(int x, int y, int cx, int cy) const;
    QSize Size(int cx, int cy) const;

    // Sets the widget's geometry within its parent from dialog units.
    void Place(QWidget* pWidget, int x, int y, int cx, int cy) const;

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

  private:
    int m_nBaseX; // average character width in pixels
    int m_nBaseY; // character height in pixels
};
