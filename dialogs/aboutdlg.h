#ifndef ABOUTDLG_H
#define ABOUTDLG_H

#include <QDialog>

class AboutDlgUi;

// The fixed-size About dialog: the program's icon beside its name, version,
// author and contact. It has no buttons; Escape or the title bar closes it.
class AboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDlg(QWidget *parent = nullptr);
    ~AboutDlg() override;

private:
    Q_DISABLE_COPY(AboutDlg)

    AboutDlgUi *const ui;
};

#endif // ABOUTDLG_H
