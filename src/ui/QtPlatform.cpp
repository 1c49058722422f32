// QtPlatform.cpp - the platform seam on a desktop.
#include "ui/QtPlatform.h"

#include "app/FileSystem.h"
#include "ui/QtText.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QTimer>
#include <QUrl>

namespace
{
// A text wrapped whole in double quotes stands for what is inside them; the shell's parameter
// string is passed on as one argument.
QString Unquoted(const std::string& str)
{
    QString qstr = ToQString(str);
    if (qstr.size() >= 2 && qstr.startsWith(QLatin1Char('"')) && qstr.endsWith(QLatin1Char('"')))
        qstr = qstr.mid(1, qstr.size() - 2);
    return qstr;
}

// Shows folders and only those files the user may run, while it is on.
class CExecutableFilter : public QSortFilterProxyModel
{
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void SetOn(bool bOn)
    {
        m_bOn = bOn;
        invalidateFilter();
    }

  protected:
    bool filterAcceptsRow(int nRow, const QModelIndex& parent) const override
    {
        const auto* pFiles = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!m_bOn || pFiles == nullptr)
            return true;
        const QFileInfo info = pFiles->fileInfo(pFiles->index(nRow, 0, parent));
        return info.isDir() || info.isExecutable();
    }

  private:
    bool m_bOn = true;
};
} // namespace

QString QtFileFilter(const std::string& strFilter)
{
    const QStringList parts = ToQString(strFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        if (parts[i].isEmpty())
            break;
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file, also one without a dot in its name.
        for (QString& pattern : patterns)
        {
            if (pattern == QStringLiteral("*.*"))
                pattern = QStringLiteral("*");
        }
        const QString label = parts[i];
        // A label that already shows its patterns in parentheses keeps them.
        if (label.contains(QLatin1Char('(')))
            filters << label.left(label.indexOf(QLatin1Char('('))).trimmed() +
                           QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                           QLatin1Char(')');
        else
            filters << label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                           QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

CQtPlatform::CQtPlatform() : m_pOpenerContext(std::make_unique<QObject>()) {}
CQtPlatform::~CQtPlatform() = default;

MsgResult CQtPlatform::ShowMessage(const std::string& strText, MsgButtons buttons)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tarvell"), ToQString(strText),
                    QMessageBox::NoButton, m_pMainWindow);
    switch (buttons)
    {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec())
    {
    case QMessageBox::Ok:
        return MsgResult::Ok;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    default:
        return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
    }
}

std::size_t CQtPlatform::AskQuestion(const std::string& strText,
                                     const std::vector<std::string>& answers)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tarvell"), ToQString(strText),
                    QMessageBox::NoButton, m_pMainWindow);
    std::vector<QAbstractButton*> buttons;
    for (std::size_t i = 0; i < answers.size(); ++i)
        buttons.push_back(box.addButton(ToQString(answers[i]), i + 1 == answers.size()
                                                                   ? QMessageBox::RejectRole
                                                                   : QMessageBox::AcceptRole));
    if (!buttons.empty())
    {
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
        box.setEscapeButton(buttons.back());
    }
    box.exec();
    const auto it = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return it != buttons.end() ? static_cast<std::size_t>(it - buttons.begin())
                               : (answers.empty() ? 0 : answers.size() - 1);
}

FileDialogResult CQtPlatform::OpenFileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(m_pMainWindow, ToQString(request.strTitle), ToQString(request.strStartDir));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.bMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (request.bFolder)
    {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    }
    if (!request.strFilter.empty())
        dialog.setNameFilter(QtFileFilter(request.strFilter));
    if (request.bExecutablesOnly)
    {
        auto* pFilter = new CExecutableFilter(&dialog);
        dialog.setProxyModel(pFilter);
        const QStringList filters = dialog.nameFilters();
        QObject::connect(&dialog, &QFileDialog::filterSelected, pFilter,
                         [pFilter, filters](const QString& qstrFilter) {
                             pFilter->SetOn(!filters.isEmpty() && qstrFilter == filters.first());
                         });
    }
    if (!request.strDefaultExt.empty() && request.strDefaultExt != "*")
        dialog.setDefaultSuffix(ToQString(request.strDefaultExt));
    if (!request.strPresetName.empty())
        dialog.selectFile(ToQString(request.strPresetName));
    FileDialogResult result;
    for (;;)
    {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return result;
        const QString qstrPath = dialog.selectedFiles().constFirst();
        if (request.bAskCreate && !QFileInfo::exists(qstrPath))
        {
            const QString qstrAsk = QStringLiteral("%1 は存在しません。\n作成しますか？")
                                        .arg(QFileInfo(qstrPath).fileName());
            if (QMessageBox::question(m_pMainWindow,
                                      request.strTitle.empty() ? QStringLiteral("Tarvell")
                                                               : ToQString(request.strTitle),
                                      qstrAsk) != QMessageBox::Yes)
                continue;
        }
        std::string strPath;
        if (!FromQString(qstrPath, strPath))
        {
            ShowMessage(ToSjis(QStringLiteral(u"選択されたファイル名は Shift_JIS で表せません。")),
                        MsgButtons::Ok);
            continue;
        }
        if (request.bFolder && !strPath.empty() && strPath.back() != '/')
            strPath += '/';
        result.bConfirmed = true;
        result.strPath = strPath;
        FromQString(QFileInfo(qstrPath).fileName(), result.strName);
        return result;
    }
}

int CQtPlatform::ShellOpen(const std::string& strFile, const std::string& strParams)
{
    if (!strParams.empty())
        return QProcess::startDetached(ToQString(strFile), QStringList{Unquoted(strParams)}) ? 42
                                                                                             : 2;
    const QString qstrTarget = Unquoted(strFile);
    const QUrl url = qstrTarget.contains(QStringLiteral("://")) ? QUrl(qstrTarget)
                                                                : QUrl::fromLocalFile(qstrTarget);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return 2;
    if (m_opener.isEmpty())
        return QDesktopServices::openUrl(url) ? 42 : 31;
    // The desktop's opener, watched: xdg-open says "no method available" only on standard error
    // and in its exit status, where QDesktopServices leaves it unseen. It may also run the program
    // it chose until that program ends, so it is not waited for: a later failure is reported.
    auto* pOpener = new QProcess();
    pOpener->setProgram(m_opener.constFirst());
    pOpener->setArguments(m_opener.mid(1)
                          << (url.isLocalFile() ? url.toLocalFile() : url.toString()));
    pOpener->setStandardOutputFile(QProcess::nullDevice());
    pOpener->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(pOpener, &QProcess::finished, m_pOpenerContext.get(),
                     [this, pOpener, strFile](int nExitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || nExitCode != 0)
                             OnOpenerFailed(
                                 strFile, QString::fromLocal8Bit(pOpener->readAllStandardError()));
                         pOpener->deleteLater();
                     });
    pOpener->start();
    if (!pOpener->waitForStarted(5000))
    {
        delete pOpener;
        return 2;
    }
    return 42;
}

void CQtPlatform::OnOpenerFailed(const std::string& strTarget, const QString& qstrReason)
{
    // The opener's first line says why; its control characters never reach the box.
    QString qstrFirst = qstrReason.section(QLatin1Char('\n'), 0, 0).left(200);
    for (QChar& ch : qstrFirst)
    {
        if (ch.category() == QChar::Other_Control)
            ch = QLatin1Char('?');
    }
    std::string strReason;
    FromQString(qstrFirst.trimmed(), strReason);
    ShowMessage(
        ToSjis(QStringLiteral(u"開けませんでした（デスクトップに開くプログラムが" // troubleshooting
                              u"ありません）。次の場所を手動で開いてください:\n")) +
            strTarget + (strReason.empty() ? std::string() : "\n(" + strReason + ")"),
        MsgButtons::Ok);
}

int CQtPlatform::RunModal(IModalDialog& dialog)
{
    return dialog.Exec();
}

bool CQtPlatform::StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick)
{
    auto pTimer = std::make_unique<QTimer>();
    pTimer->setInterval(nPeriodMs);
    QObject::connect(pTimer.get(), &QTimer::timeout, [nId, onTick] { onTick(nId); });
    pTimer->start();
    if (!pTimer->isActive())
        return false;
    m_timers[nId] = std::move(pTimer);
    return true;
}

void CQtPlatform::StopTimer(int nId)
{
    const auto it = m_timers.find(nId);
    if (it == m_timers.end())
        return;
    // The timer may be stopped from its own tick: delete it once control is back in the loop.
    QTimer* pTimer = it->second.release();
    m_timers.erase(it);
    pTimer->stop();
    pTimer->deleteLater();
}

void RunEventsUntilDrained(const std::function<bool()>& drain)
{
    QEventLoop loop;
    QTimer timer;
    bool bFinished = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (drain())
        {
            bFinished = true;
            loop.quit();
        }
    });
    timer.start(10);
    while (!bFinished)
        loop.exec();
}
