#ifndef ABOUTDLGUI_H
#define ABOUTDLGUI_H

#include <QtGlobal>

class AboutDlg;
class QLabel;

// Builds the About dialog's labels and sets their texts. It only points at
// the labels: they are children of the dialog, which deletes them.
class AboutDlgUi
{
public:
    AboutDlgUi() = default;

    void setupUi(AboutDlg *dialog);
    void retranslateUi(AboutDlg *dialog);

    QLabel *label_ver = nullptr;
    QLabel *label_aboutimg = nullptr;
    QLabel *label_contact = nullptr;
    QLabel *label_name = nullptr;
    QLabel *label_author = nullptr;

private:
    Q_DISABLE_COPY(AboutDlgUi)
};

#endif // ABOUTDLGUI_H
