#include "aboutdlgui.h"

#include "aboutdlg.h"
#include "buildconfig.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QMetaObject>

namespace {

QLabel *createLabel(AboutDlg *dialog, const QString &name, const QRect &geometry)
{
    auto *label = new QLabel(dialog);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

} // namespace

void AboutDlgUi::setupUi(AboutDlg *dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("AboutDlg"));
    dialog->resize(480, 272);

    // The four text lines share one font; each has its own colour.
    QFont font;
    font.setFamily(QStringLiteral("Courier New"));
    font.setPointSize(20);
    font.setBold(false);
    font.setWeight(QFont::Normal);

    label_ver = createLabel(dialog, QStringLiteral("label_ver"), QRect(190, 80, 261, 40));
    label_ver->setFont(font);
    label_ver->setStyleSheet(QStringLiteral("color: rgb(255, 85, 0);"));

    label_aboutimg = createLabel(dialog, QStringLiteral("label_aboutimg"), QRect(30, 60, 128, 128));
    label_aboutimg->setStyleSheet(QStringLiteral("border-image: url(:/image/icon.png);"));

    label_contact = createLabel(dialog, QStringLiteral("label_contact"), QRect(190, 200, 261, 40));
    label_contact->setFont(font);
    label_contact->setStyleSheet(QStringLiteral("color: rgb(85, 0, 255);"));

    label_name = createLabel(dialog, QStringLiteral("label_name"), QRect(190, 20, 261, 40));
    label_name->setFont(font);
    label_name->setStyleSheet(QStringLiteral("color: rgb(0, 170, 0);"));

    label_author = createLabel(dialog, QStringLiteral("label_author"), QRect(190, 140, 261, 40));
    label_author->setFont(font);
    label_author->setStyleSheet(QStringLiteral("color: rgb(170, 85, 255);"));

    retranslateUi(dialog);
    QMetaObject::connectSlotsByName(dialog);
}

void AboutDlgUi::retranslateUi(AboutDlg *dialog)
{
    dialog->setWindowTitle(QCoreApplication::translate("AboutDlg", "关于"));
    label_ver->setText(QCoreApplication::translate("AboutDlg", "版本：V%1")
                           .arg(QLatin1String(BRINDLEFORGE_VERSION)));
    label_aboutimg->setText(QString());
    label_contact->setText(QCoreApplication::translate("AboutDlg", "联系：%1 %2")
                               .arg(QString::fromUtf8(BRINDLEFORGE_CONTACT_SERVICE),
                                    QString::fromUtf8(BRINDLEFORGE_CONTACT)));
    label_name->setText(QCoreApplication::translate("AboutDlg", "BrindleForge"));
    label_author->setText(QCoreApplication::translate("AboutDlg", "作者：%1")
                              .arg(QString::fromUtf8(BRINDLEFORGE_AUTHOR)));
}
