// QtAddressDlg.cpp - the address book dialog's window.
#include "ui/QtAddressDlg.h"

#include "app/Sjis.h"
#include "ui/Controls.h"
#include "ui/QtText.h"
#include "ui/SjisLineEdit.h"
#include "ui/UpDown.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

CQtAddressDlg::CQtAddressDlg(IPlatform& platform, QWidget* pParent)
    : QDialog(pParent), m_logic(platform, *this), m_units(DialogFont())
{
    setFont(DialogFont());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(m_units.Size(263, 239));
    setWindowTitle(QStringLiteral(u"Tarvell アドレス帳"));

    // The frame goes first so that it lies beneath the controls it surrounds.
    auto* pGroup =
        new QGroupBox(QStringLiteral(u"宛先に選択された氏名・アドレス（編集も可能です）"), this);
    m_units.Place(pGroup, 4, 4, 184, 84);

    m_pBtnOK = MakeOkButton(this, m_units.Rect(192, 16, 60, 20), QStringLiteral(u"宛先決定"));
    m_pBtnCancel =
        MakeCancelButton(this, m_units.Rect(192, 40, 60, 14), QStringLiteral(u"宛先ｷｬﾝｾﾙ"));

    m_pListBook = new QTreeWidget(this);
    m_pListBook->setObjectName(QStringLiteral("m_listBook"));
    m_units.Place(m_pListBook, 4, 124, 180, 96);
    m_pListBook->setRootIsDecorated(false);
    m_pListBook->setUniformRowHeights(true);
    m_pListBook->setAllColumnsShowFocus(true);
    m_pListBook->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pListBook->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pListBook->setMouseTracking(true);
    m_pListBook->setHeaderLabels(
        {QStringLiteral("No"), QStringLiteral(u"氏名"), QStringLiteral(u"メールアドレス")});
    m_pListBook->header()->setStretchLastSection(false);
    m_pListBook->header()->setSectionsMovable(false);

    // The up-down control sits at the number edit's right edge, inside the edit's width.
    const QRect noRect = m_units.Rect(104, 104, 20, 14);
    const int nSpinWidth = m_units.X(7);
    m_pEditNo = MakeEdit(this, noRect.adjusted(0, 0, -nSpinWidth, 0), "m_nNo", 0);
    m_pEditNo->setAlignment(Qt::AlignCenter);
    m_pSpinNo = new CUpDown(m_pEditNo, this);
    m_pSpinNo->setObjectName(QStringLiteral("m_spinNo"));
    m_pSpinNo->setGeometry(noRect.right() - nSpinWidth + 1, noRect.top(), nSpinWidth,
                           noRect.height());
    m_pSpinNo->SetRange(0, ADDRESS_BOOK_ENTRIES);

    m_pEditName =
        MakeEdit(this, m_units.Rect(8, 32, 120, 14), "m_strName", CAddressDlg::NAME_LIMIT);
    m_pEditAddress =
        MakeEdit(this, m_units.Rect(8, 68, 172, 14), "m_strAddress", CAddressDlg::ADDRESS_LIMIT);
    QPushButton* pBtnSelect = MakeButton(this, m_units.Rect(8, 92, 84, 28),
                                         QStringLiteral(u"↑宛先・選択"), "m_btnSelect");
    QPushButton* pBtnRegister = MakeButton(this, m_units.Rect(128, 92, 56, 28),
                                           QStringLiteral(u"↓登録（書戻し）"), "m_btnRegister");
    MakeLabel(this, m_units.Rect(104, 92, 23, 8), QStringLiteral(u"登録No"));
    MakeLabel(this, m_units.Rect(16, 20, 58, 8), QStringLiteral(u"氏名 or グループ名"));
    MakeLabel(this, m_units.Rect(12, 56, 118, 8),
              QStringLiteral(u"メールアドレス or グループアドレス帳名 "));
    QPushButton* pBtnClear =
        MakeButton(this, m_units.Rect(132, 32, 48, 14), QStringLiteral(u"クリア"), "m_btnClear");
    MakeLabel(this, m_units.Rect(108, 224, 76, 8), QStringLiteral(u"※ダブルクリックで選択可"));

    m_pEditInfo = new QPlainTextEdit(this);
    m_pEditInfo->setObjectName(QStringLiteral("m_strInfo"));
    m_pEditInfo->setReadOnly(true);
    m_pEditInfo->setFrameShape(QFrame::NoFrame);
    m_pEditInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pEditInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pEditInfo->viewport()->setAutoFillBackground(false);
    m_pEditInfo->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    m_pEditInfo->document()->setDocumentMargin(0);
    m_units.Place(m_pEditInfo, 192, 88, 64, 148);

    QPushButton* pBtnBrowse =
        MakeButton(this, m_units.Rect(132, 52, 48, 14), QStringLiteral(u"参照"), "m_btnBrowse");

    // The tab order is the template's order.
    QWidget* const order[] = {m_pBtnOK,    m_pBtnCancel,   m_pListBook, m_pEditNo,
                              m_pEditName, m_pEditAddress, pBtnSelect,  pBtnRegister,
                              pBtnClear,   m_pEditInfo,    pBtnBrowse};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(pBtnSelect, &QPushButton::clicked, this, [this] { m_logic.OnSelect(); });
    connect(pBtnRegister, &QPushButton::clicked, this, [this] { m_logic.OnRegister(); });
    connect(pBtnClear, &QPushButton::clicked, this, [this] { m_logic.OnClear(); });
    connect(pBtnBrowse, &QPushButton::clicked, this, [this] { m_logic.OnBrowse(); });
    // The selection mark is the row last selected, by mouse or keyboard; it stays when the
    // selection is cleared.
    connect(m_pListBook, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = m_pListBook->selectedItems();
        if (!selected.isEmpty())
            m_nSelectionMark = m_pListBook->indexOfTopLevelItem(selected.constLast());
    });
    connect(m_pListBook, &QTreeWidget::itemEntered, this, [this](QTreeWidgetItem* pItem) {
        m_nHotRow = m_pListBook->indexOfTopLevelItem(pItem);
    });
    connect(m_pListBook, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* pItem) {
        m_nHotRow = m_pListBook->indexOfTopLevelItem(pItem);
        m_logic.OnDblClkList();
    });
}

int CQtAddressDlg::Exec()
{
    m_logic.OnInitDialog();
    m_pBtnOK->setFocus(); // the first control in tab order
    const int nResult = exec();
    m_logic.OnDestroy();
    return nResult == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
}

void CQtAddressDlg::Open()
{
    m_logic.OnInitDialog();
    m_pBtnOK->setFocus();
    show();
}

int CQtAddressDlg::Finish()
{
    if (isVisible())
        reject();
    m_logic.OnDestroy();
    return result() == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
}

void CQtAddressDlg::accept()
{
    m_logic.OnOK();
}

void CQtAddressDlg::EndDialog(int nResult)
{
    done(nResult == DLG_OK ? QDialog::Accepted : QDialog::Rejected);
}

QWidget* CQtAddressDlg::FieldWidget(int nField) const
{
    switch (nField)
    {
    case CAddressDlg::IDC_NAME:
        return m_pEditName;
    case CAddressDlg::IDC_ADDRESS:
        return m_pEditAddress;
    case CAddressDlg::IDC_ENTRY_NO:
        return m_pEditNo;
    default:
        return m_pEditInfo;
    }
}

void CQtAddressDlg::SetFieldText(int nField, const std::string& strText)
{
    if (nField == CAddressDlg::IDC_INFO)
        m_pEditInfo->setPlainText(
            ToQString(strText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    else
        static_cast<QLineEdit*>(FieldWidget(nField))->setText(ToQString(strText));
}

bool CQtAddressDlg::GetFieldText(int nField, std::string& strText)
{
    if (nField == CAddressDlg::IDC_INFO)
        return FromQString(m_pEditInfo->toPlainText(), strText);
    return FromQString(static_cast<QLineEdit*>(FieldWidget(nField))->text(), strText);
}

void CQtAddressDlg::FocusField(int nField)
{
    QWidget* pWidget = FieldWidget(nField);
    pWidget->setFocus();
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        pEdit->selectAll();
}

void CQtAddressDlg::SetColumnWidths()
{
    // The client width is taken before the rows exist, so no scroll bar narrows it.
    const int w = (m_pListBook->width() - 2 * m_pListBook->frameWidth()) / 10;
    m_pListBook->header()->setMinimumSectionSize(
        qMin(w, m_pListBook->header()->minimumSectionSize()));
    m_pListBook->setColumnWidth(0, w);
    m_pListBook->setColumnWidth(1, 3 * w);
    m_pListBook->setColumnWidth(2, 6 * w);
}

void CQtAddressDlg::ShowEntries(const AddressBook& book)
{
    if (m_pListBook->topLevelItemCount() == 0)
        SetColumnWidths();
    m_pListBook->clear();
    m_nSelectionMark = -1;
    m_nHotRow = -1;
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < ADDRESS_BOOK_ENTRIES; ++i)
    {
        const AddressEntry& entry = book.entries[i];
        auto* pItem = new QTreeWidgetItem();
        pItem->setText(0, QString::asprintf("%02d", i + 1));
        pItem->setText(1, ToQString(FieldText(entry.szName)));
        pItem->setText(2, ToQString(FieldText(entry.szAddress)));
        items.append(pItem);
    }
    m_pListBook->addTopLevelItems(items);
    // Clearing moved the current row; the mark stays unset until the user selects one.
    m_nSelectionMark = -1;
}

void CQtAddressDlg::SetButtonCaptions(const std::string& strOK, const std::string& strCancel)
{
    for (const auto& [pButton, strText] :
         {std::pair{m_pBtnOK, strOK}, std::pair{m_pBtnCancel, strCancel}})
    {
        pButton->setText(ToQString(strText));
        FitTextToWidth(pButton, pButton->text(), pButton->width() - 8);
    }
}

void CQtAddressDlg::SetWindowTitle(const std::string& strTitle)
{
    setWindowTitle(ToQString(strTitle));
}
