#ifndef MAINWINDOWUI_H
#define MAINWINDOWUI_H

#include <QtGlobal>

class MainWindow;
class QAction;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QMenu;
class QMenuBar;
class QScrollArea;
class QSpacerItem;
class QVBoxLayout;
class QWidget;

// Builds the main window's widget tree and puts every visible text on it.
// It only points at the widgets, layouts and actions: the window owns them
// through Qt's parent-child tree.
class MainWindowUi
{
public:
    MainWindowUi() = default;

    // Builds the tree on window, sets the texts, then connects the window's
    // on_<object name>_<signal> slots by name.
    void setupUi(MainWindow *window);
    // Sets every text; the combo boxes are refilled, not appended to.
    void retranslateUi(MainWindow *window);

    QAction *action_open = nullptr;
    QAction *action_save = nullptr;
    QAction *action_close = nullptr;
    QAction *action_note = nullptr;
    QAction *action_about = nullptr;
    QWidget *centralWidget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *label = nullptr;
    QLabel *label_size = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QLabel *label_4 = nullptr;
    QSpacerItem *horizontalSpacer_2 = nullptr;
    QLabel *label_link = nullptr;
    QScrollArea *scrollArea = nullptr;
    QWidget *scrollAreaWidgetContents = nullptr;
    QLabel *label_img = nullptr;
    QComboBox *combo_color_format = nullptr;
    QComboBox *combo_output_format = nullptr;
    QLabel *label_2 = nullptr;
    QLabel *label_3 = nullptr;
    QMenuBar *menuBar = nullptr;
    QMenu *menu = nullptr;
    QMenu *menu_2 = nullptr;

private:
    Q_DISABLE_COPY(MainWindowUi)
};

#endif // MAINWINDOWUI_H
