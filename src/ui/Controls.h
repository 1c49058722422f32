// Controls.h - makes the controls of the program's dialogs and of the send form, each placed in
// dialog units and named after the member it is tied to (tests find it by that name).
#pragma once
#include <QRect>
#include <QString>

#include <string>

class CSjisLineEdit;
class IPlatform;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Narrows the widget's font (down to 75 %) when its text is wider than nAvailable pixels, so
// that a label or caption sized for a narrower Japanese font is shown whole.
void FitTextToWidth(QWidget* pWidget, const QString& qstrText, int nAvailable);

// A push button; in a dialog it takes over the Enter key while it has the focus.
QPushButton* MakeButton(QWidget* pParent, const QRect& rect, const QString& qstrText,
                        const char* pszName);

// The default button that closes pDialog through accept() (its OK step), and the button that
// closes it through reject(); named m_btnOK and m_btnCancel.
QPushButton* MakeOkButton(QDialog* pDialog, const QRect& rect, const QString& qstrText);
QPushButton* MakeCancelButton(QDialog* pDialog, const QRect& rect, const QString& qstrText);

// A bordered single-line edit that scrolls sideways, limited to nByteLimit CP932 bytes (0: none).
CSjisLineEdit* MakeEdit(QWidget* pParent, const QRect& rect, const char* pszName, int nByteLimit);

// A static text, left-aligned unless told otherwise, on one line unless it wraps.
QLabel* MakeLabel(QWidget* pParent, const QRect& rect, const QString& qstrText,
                  Qt::Alignment align = Qt::AlignLeft);

// Reads an edit into str as CP932, checking its byte limit (0: none). A text over the limit, or one
// holding a character CP932 cannot write, shows the data-exchange message, puts the focus in the
// field and returns false with str unchanged.
bool ReadLimitedText(IPlatform& platform, QLineEdit* pEdit, std::string& str, int nLimit);
