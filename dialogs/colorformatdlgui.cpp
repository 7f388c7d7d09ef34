#include "colorformatdlgui.h"

#include "colorformatdlg.h"

#include <QCoreApplication>
#include <QFont>
#include <QListWidget>
#include <QMetaObject>
#include <QVBoxLayout>

#include <iterator>

namespace {

// The list's rows, top to bottom; the row number is what the dialog reports.
const char *const formatNames[] = {
    QT_TRANSLATE_NOOP("ColorFormatDlg", "True color"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "True color with alpha"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "True color chroma keyed"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Indexed 2 colors"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Indexed 4 colors"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Indexed 16 colors"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Indexed 256 colors"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Alpha only 2 shades"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Alpha only 4 shades"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Alpha only 16 shades"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Alpha only 256 shades"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Raw"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Raw with alpha"),
    QT_TRANSLATE_NOOP("ColorFormatDlg", "Raw as chroma keyed"),
};
constexpr int formatCount = int(std::size(formatNames));

} // namespace

void ColorFormatDlgUi::setupUi(ColorFormatDlg *dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("ColorFormatDlg"));
    dialog->resize(264, 385);

    verticalLayout = new QVBoxLayout(dialog);
    verticalLayout->setSpacing(0);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(0, 0, 0, 0);

    listWidget_format = new QListWidget(dialog);
    for (int row = 0; row < formatCount; ++row)
        new QListWidgetItem(listWidget_format);
    listWidget_format->setObjectName(QStringLiteral("listWidget_format"));
    QFont font;
    font.setPointSize(11);
    listWidget_format->setFont(font);
    verticalLayout->addWidget(listWidget_format);

    retranslateUi(dialog);
    QMetaObject::connectSlotsByName(dialog);
}

void ColorFormatDlgUi::retranslateUi(ColorFormatDlg *dialog)
{
    dialog->setWindowTitle(QCoreApplication::translate("ColorFormatDlg", "选择颜色格式"));

    // With sorting on, renaming one item could move it and the rows below
    // would get the wrong texts; sort once, after all are set.
    const bool sortingWasEnabled = listWidget_format->isSortingEnabled();
    listWidget_format->setSortingEnabled(false);
    for (int row = 0; row < formatCount; ++row)
        listWidget_format->item(row)->setText(
            QCoreApplication::translate("ColorFormatDlg", formatNames[row]));
    listWidget_format->setSortingEnabled(sortingWasEnabled);
}
