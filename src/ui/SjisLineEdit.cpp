// SjisLineEdit.cpp - a line edit limited in CP932 bytes.
#include "ui/SjisLineEdit.h"

#include "ui/QtText.h"

#include <QValidator>

class CSjisLimitValidator : public QValidator
{
  public:
    explicit CSjisLimitValidator(CSjisLineEdit* pEdit) : QValidator(pEdit), m_pEdit(pEdit) {}

    State validate(QString& qstrInput, int& /*nPos*/) const override
    {
        // A text the program sets is shown as it is (setText leaves the edit unmodified); it
        // must still count as valid input, or the edit would stop refusing keystrokes.
        if (!m_pEdit->isModified())
            return Intermediate;
        const int nBytes = CSjisLineEdit::SjisLength(qstrInput);
        const int nBefore = m_pEdit->m_nAcceptedBytes;
        if (nBytes < 0) // a character CP932 cannot hold, unless one was there already
            return nBefore < 0 ? Intermediate : Invalid;
        if (m_pEdit->m_nByteLimit <= 0 || nBytes <= m_pEdit->m_nByteLimit)
            return Acceptable;
        // Over the limit: only a change that makes an over-long text shorter is let through.
        return nBefore < 0 || nBytes < nBefore ? Intermediate : Invalid;
    }

  private:
    CSjisLineEdit* m_pEdit;
};

CSjisLineEdit::CSjisLineEdit(QWidget* pParent) : QLineEdit(pParent)
{
    setValidator(new CSjisLimitValidator(this));
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& qstr) { m_nAcceptedBytes = SjisLength(qstr); });
}

void CSjisLineEdit::SetByteLimit(int nBytes)
{
    m_nByteLimit = nBytes;
}

int CSjisLineEdit::SjisLength(const QString& qstr)
{
    std::string strSjis;
    if (!FromQString(qstr, strSjis))
        return -1;
    return static_cast<int>(strSjis.size());
}
