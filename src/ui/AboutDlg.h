// AboutDlg.h - the About box: the program's icon, name and version, and its copyright.
#pragma once
#include "ui/ModalDialog.h"

class CAboutDlg : public CModalDialog
{
    Q_OBJECT
  public:
    explicit CAboutDlg(IPlatform& platform, QWidget* pParent = nullptr);

    std::string Title() const override;
    bool UpdateData(bool) override { return true; }
};
