#include "notewin.h"

#include "notewinui.h"

NoteWin::NoteWin(QWidget *parent)
    : QDialog(parent)
    , ui(new NoteWinUi)
{
    ui->setupUi(this);
}

NoteWin::~NoteWin()
{
    delete ui;
}
