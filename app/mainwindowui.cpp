#include "mainwindowui.h"

#include "mainwindow.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

QAction *createAction(MainWindow *window, const char *objectName, const char *iconPath)
{
    auto *action = new QAction(window);
    action->setObjectName(QLatin1String(objectName));
    QIcon icon;
    icon.addFile(QLatin1String(iconPath), QSize(), QIcon::Normal, QIcon::Off);
    action->setIcon(icon);
    return action;
}

// The background picture is tiled behind the central area; the scroll
// area and its contents are transparent over it. The second rule of each
// sheet gives the children no background of their own.
const char centralStyle[] = "#centralWidget {\n\tbackground-image: url(:/image/bg.png);\n}\n"
                            "#centralWidget * {\n    background:rgb();\n}";
const char scrollAreaStyle[] = "#scrollArea {\n\tbackground-color: rgba(255, 255, 255, 0);\n}\n"
                               "#scrollArea * {\n    background:rgb();\n}";
const char contentsStyle[] =
    "#scrollAreaWidgetContents {\n\tbackground-color: rgba(255, 255, 255, 0);\n}\n"
    "#scrollAreaWidgetContents * {\n    background:rgb();\n}";

} // namespace

void MainWindowUi::setupUi(MainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(897, 590);
    window->setStyleSheet(QString());

    action_open = createAction(window, "action_open", ":/image/open.png");
    action_save = createAction(window, "action_save", ":/image/save.png");
    action_close = createAction(window, "action_close", ":/image/close.png");
    action_note = createAction(window, "action_note", ":/image/note.png");
    action_about = createAction(window, "action_about", ":/image/about.png");

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    centralWidget->setStyleSheet(QLatin1String(centralStyle));
    verticalLayout = new QVBoxLayout(centralWidget);
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(11, 11, 11, 11);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(9, 0, 0, 0);

    // The status row: resolution, the batch hint and the update link.
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setSpacing(6);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    label = new QLabel(centralWidget);
    label->setObjectName(QStringLiteral("label"));
    QFont statusFont;
    statusFont.setPointSize(11);
    statusFont.setBold(true);
    statusFont.setWeight(QFont::Bold);
    label->setFont(statusFont);
    horizontalLayout->addWidget(label);
    label_size = new QLabel(centralWidget);
    label_size->setObjectName(QStringLiteral("label_size"));
    label_size->setFont(statusFont);
    horizontalLayout->addWidget(label_size);
    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer);
    label_4 = new QLabel(centralWidget);
    label_4->setObjectName(QStringLiteral("label_4"));
    label_4->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
    horizontalLayout->addWidget(label_4);
    horizontalSpacer_2 = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer_2);
    label_link = new QLabel(centralWidget);
    label_link->setObjectName(QStringLiteral("label_link"));
    label_link->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    label_link->setOpenExternalLinks(true);
    horizontalLayout->addWidget(label_link);
    verticalLayout->addLayout(horizontalLayout);

    // The preview area, with the format choices at fixed positions on top.
    scrollArea = new QScrollArea(centralWidget);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setStyleSheet(QLatin1String(scrollAreaStyle));
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setWidgetResizable(true);
    scrollAreaWidgetContents = new QWidget();
    scrollAreaWidgetContents->setObjectName(QStringLiteral("scrollAreaWidgetContents"));
    scrollAreaWidgetContents->setGeometry(QRect(0, 0, 888, 545));
    scrollAreaWidgetContents->setStyleSheet(QLatin1String(contentsStyle));
    label_img = new QLabel(scrollAreaWidgetContents);
    label_img->setObjectName(QStringLiteral("label_img"));
    label_img->setGeometry(QRect(0, 30, 151, 131));
    label_img->setFrameShape(QFrame::Box);
    label_img->setWordWrap(false);
    QFont comboFont;
    comboFont.setFamily(QStringLiteral("Arial"));
    comboFont.setPointSize(11);
    combo_color_format = new QComboBox(scrollAreaWidgetContents);
    combo_color_format->setObjectName(QStringLiteral("combo_color_format"));
    combo_color_format->setGeometry(QRect(100, 0, 191, 22));
    combo_color_format->setFont(comboFont);
    combo_output_format = new QComboBox(scrollAreaWidgetContents);
    combo_output_format->setObjectName(QStringLiteral("combo_output_format"));
    combo_output_format->setGeometry(QRect(410, 0, 171, 22));
    combo_output_format->setFont(comboFont);
    QFont captionFont;
    captionFont.setFamily(QStringLiteral("Arial"));
    captionFont.setPointSize(11);
    captionFont.setBold(true);
    captionFont.setWeight(QFont::Bold);
    label_2 = new QLabel(scrollAreaWidgetContents);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setGeometry(QRect(0, 0, 91, 21));
    label_2->setFont(captionFont);
    label_3 = new QLabel(scrollAreaWidgetContents);
    label_3->setObjectName(QStringLiteral("label_3"));
    label_3->setGeometry(QRect(300, 0, 101, 21));
    label_3->setFont(captionFont);
    scrollArea->setWidget(scrollAreaWidgetContents);
    verticalLayout->addWidget(scrollArea);

    window->setCentralWidget(centralWidget);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(QRect(0, 0, 897, 23));
    menu = new QMenu(menuBar);
    menu->setObjectName(QStringLiteral("menu"));
    menu_2 = new QMenu(menuBar);
    menu_2->setObjectName(QStringLiteral("menu_2"));
    window->setMenuBar(menuBar);
    menuBar->addAction(menu->menuAction());
    menuBar->addAction(menu_2->menuAction());
    menu->addAction(action_open);
    menu->addAction(action_save);
    menu->addAction(action_close);
    menu_2->addAction(action_note);
    menu_2->addAction(action_about);

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void MainWindowUi::retranslateUi(MainWindow *window)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("MainWindow", text); };

    window->setWindowTitle(tr("BrindleForge_V0.2"));
    action_open->setText(tr("打开图片"));
    action_save->setText(tr("保存"));
    action_close->setText(tr("退出"));
    action_note->setText(tr("说明"));
    action_about->setText(tr("关于"));
    label->setText(tr("分辨率："));
    label_size->setText(QString());
    label_4->setText(tr("支持批量操作，具体看帮助说明"));
    label_link->setText(tr("更新地址:看看是否有新版本"));
    label_img->setText(QString());
    combo_color_format->clear();
    combo_color_format->insertItems(0,
                                    QStringList {
                                        tr("True color"),
                                        tr("True color with alpha"),
                                        tr("True color chroma keyed"),
                                        tr("Indexed 256 colors"),
                                    });
    combo_output_format->clear();
    combo_output_format->insertItems(0,
                                     QStringList {
                                         tr("C array"),
                                         tr("Binary RGB332"),
                                         tr("Binary RGB565"),
                                         tr("Binary RGB565 Swap"),
                                         tr("Binary RGB888"),
                                     });
    label_2->setText(tr("Color format:"));
    label_3->setText(tr("Output format:"));
    menu->setTitle(tr("文件"));
    menu_2->setTitle(tr("帮助"));
}
