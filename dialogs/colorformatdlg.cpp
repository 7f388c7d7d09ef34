#include "colorformatdlg.h"

#include "colorformatdlgui.h"

#include <QModelIndex>

ColorFormatDlg::ColorFormatDlg(QWidget *parent)
    : QDialog(parent)
    , ui(new ColorFormatDlgUi)
{
    ui->setupUi(this);
}

ColorFormatDlg::~ColorFormatDlg()
{
    delete ui;
}

// Connected by name to the list's clicked() signal, which only a mouse click
// on an item emits.
void ColorFormatDlg::on_listWidget_format_clicked(const QModelIndex &index)
{
    clickedRow = index.row();
    accept();
}
