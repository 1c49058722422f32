// UiTest.h - helpers of the widget tests: CP932 texts from u"" literals, a document in a fresh
// program folder, and scripted runs of modal dialogs that drive the open dialog.
#pragma once
#include "app/TarvellDoc.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"
#include "ui/QtText.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

// The CP932 bytes of a text written in the test (narrow literals in ui code are UTF-8).
#define SJ(text) ToSjis(QStringLiteral(text))

// A text of n copies of a string.
inline QString Repeat(const QString& qstr, int n)
{
    QString qstrOut;
    for (int i = 0; i < n; ++i)
        qstrOut += qstr;
    return qstrOut;
}

template <class T> T* Child(QObject& parent, const char* pszName)
{
    T* pChild = parent.findChild<T*>(QLatin1String(pszName));
    EXPECT_NE(pChild, nullptr) << pszName;
    return pChild;
}

inline void Click(QObject& parent, const char* pszButton)
{
    QAbstractButton* pButton = Child<QAbstractButton>(parent, pszButton);
    if (pButton != nullptr)
        QTest::mouseClick(pButton, Qt::LeftButton);
}

inline void SetText(QObject& parent, const char* pszEdit, const QString& qstrText)
{
    if (QLineEdit* pEdit = Child<QLineEdit>(parent, pszEdit))
        pEdit->setText(qstrText);
}

inline QString Text(QObject& parent, const char* pszEdit)
{
    QLineEdit* pEdit = Child<QLineEdit>(parent, pszEdit);
    return pEdit != nullptr ? pEdit->text() : QString();
}

// The next modal dialog of type T opens (without waiting), act drives it, and whatever it left
// open is cancelled; the run returns the dialog's result, as a real run would.
template <class T> void WhenDialogRuns(CScriptedPlatform& platform, std::function<void(T&)> act)
{
    platform.m_nextDialogs.push_back([act](IModalDialog& dialog) {
        T* pDlg = dynamic_cast<T*>(&dialog);
        EXPECT_NE(pDlg, nullptr) << "another dialog: " << dialog.Title();
        if (pDlg == nullptr)
            return DLG_CANCEL;
        pDlg->Open();
        act(*pDlg);
        return pDlg->Finish();
    });
}

// A program folder with its document; messages are recorded and answered with their first
// button unless an answer is queued.
class UiTest : public ::testing::Test
{
  protected:
    UiTest()
    {
        m_platform.m_bAllowMessages = true;
        m_pDoc = std::make_unique<CTarvellDoc>(m_platform, m_folder.Dir(), std::string());
    }

    CTempFolder m_folder;
    CScriptedPlatform m_platform;
    std::unique_ptr<CTarvellDoc> m_pDoc;
};
