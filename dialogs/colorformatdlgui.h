#ifndef COLORFORMATDLGUI_H
#define COLORFORMATDLGUI_H

#include <QtGlobal>

class ColorFormatDlg;
class QListWidget;
class QVBoxLayout;

// Builds the color format list and sets its texts. It only points at the
// layout and the list: the dialog owns both.
class ColorFormatDlgUi
{
public:
    ColorFormatDlgUi() = default;

    void setupUi(ColorFormatDlg *dialog);
    void retranslateUi(ColorFormatDlg *dialog);

    QVBoxLayout *verticalLayout = nullptr;
    QListWidget *listWidget_format = nullptr;

private:
    Q_DISABLE_COPY(ColorFormatDlgUi)
};

#endif // COLORFORMATDLGUI_H
