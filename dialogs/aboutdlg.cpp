#include "aboutdlg.h"

#include "aboutdlgui.h"

AboutDlg::AboutDlg(QWidget *parent)
    : QDialog(parent)
    , ui(new AboutDlgUi)
{
    ui->setupUi(this);
    setFixedSize(size());
}

AboutDlg::~AboutDlg()
{
    delete ui;
}
