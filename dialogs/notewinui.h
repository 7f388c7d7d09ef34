#ifndef NOTEWINUI_H
#define NOTEWINUI_H

#include <QtGlobal>

class NoteWin;
class QTextBrowser;
class QVBoxLayout;

// Builds the notes window's layout and browser and fills in the notes. It
// only points at them: the dialog owns both.
class NoteWinUi
{
public:
    NoteWinUi() = default;

    void setupUi(NoteWin *dialog);
    void retranslateUi(NoteWin *dialog);

    QVBoxLayout *verticalLayout = nullptr;
    QTextBrowser *tb_note = nullptr;

private:
    Q_DISABLE_COPY(NoteWinUi)
};

#endif // NOTEWINUI_H
