// SjisLineEdit.h - a single-line edit whose typing limit counts Shift_JIS (CP932) bytes, so a
// Japanese character takes two of them. A keystroke, paste or input-method commit that would pass
// the limit is refused whole, and so is a character CP932 cannot hold.
#pragma once
#include <QLineEdit>

class CSjisLineEdit : public QLineEdit
{
    Q_OBJECT
  public:
    explicit CSjisLineEdit(QWidget* pParent = nullptr);

    // 0: no limit. Text set by the program with setText() is not cut: a longer text is shown as
    // it is and can still be shortened, but not lengthened.
    void SetByteLimit(int nBytes);
    int ByteLimit() const { return m_nByteLimit; }

    // The CP932 length of the text, or -1 when CP932 cannot hold it.
    static int SjisLength(const QString& qstr);

  private:
    friend class CSjisLimitValidator;
    int m_nByteLimit = 0;
    int m_nAcceptedBytes = 0; // CP932 length of the text as it last stood; -1: not CP932
};
