// QtText.cpp - CP932 text in and out of Qt widgets.
#include "ui/QtText.h"

#include "app/TextCodec.h"

QString ToQString(const std::string& strSjis)
{
    const std::string strUtf8 = SjisToUtf8Lossy(strSjis);
    return QString::fromUtf8(strUtf8.data(), static_cast<qsizetype>(strUtf8.size()));
}

bool FromQString(const QString& qstr, std::string& strSjis)
{
    const QByteArray utf8 = qstr.toUtf8();
    return Utf8ToSjis(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                      strSjis);
}

std::string ToSjis(const QString& qstr)
{
    std::string strSjis;
    if (FromQString(qstr, strSjis))
        return strSjis;
    QString qstrSafe;
    for (const QChar ch : qstr)
    {
        std::string strOne;
        qstrSafe += FromQString(QString(ch), strOne) ? ch : QLatin1Char('?');
    }
    FromQString(qstrSafe, strSjis);
    return strSjis;
}
