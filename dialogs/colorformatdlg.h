#ifndef COLORFORMATDLG_H
#define COLORFORMATDLG_H

#include <QDialog>

class ColorFormatDlgUi;
class QModelIndex;

// Lists fourteen image color formats and closes, accepted, as soon as one is
// clicked; chosenRow() then tells which. Keyboard navigation only moves the
// current item. Closing it without a click rejects it and leaves
// chosenRow() at -1.
class ColorFormatDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ColorFormatDlg(QWidget *parent = nullptr);
    ~ColorFormatDlg() override;

    int chosenRow() const { return clickedRow; }

private slots:
    void on_listWidget_format_clicked(const QModelIndex &index);

private:
    Q_DISABLE_COPY(ColorFormatDlg)

    ColorFormatDlgUi *const ui;
    qint32 clickedRow = -1;
};

#endif // COLORFORMATDLG_H
