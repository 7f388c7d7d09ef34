#ifndef NOTEWIN_H
#define NOTEWIN_H

#include <QDialog>

class NoteWinUi;

// The usage notes: a resizable dialog holding one read-only rich-text view
// with the usage notes, the batch notes and the change log.
class NoteWin : public QDialog
{
    Q_OBJECT

public:
    explicit NoteWin(QWidget *parent = nullptr);
    ~NoteWin() override;

private:
    Q_DISABLE_COPY(NoteWin)

    NoteWinUi *const ui;
};

#endif // NOTEWIN_H
