#include <QtTest>

#include "aboutdlg.h"
#include "aboutdlgui.h"
#include "buildconfig.h"
#include "colorformatdlg.h"
#include "colorformatdlgui.h"
#include "notewin.h"
#include "notewinui.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const QStringList formatNames = {
    QStringLiteral("True color"),
    QStringLiteral("True color with alpha"),
    QStringLiteral("True color chroma keyed"),
    QStringLiteral("Indexed 2 colors"),
    QStringLiteral("Indexed 4 colors"),
    QStringLiteral("Indexed 16 colors"),
    QStringLiteral("Indexed 256 colors"),
    QStringLiteral("Alpha only 2 shades"),
    QStringLiteral("Alpha only 4 shades"),
    QStringLiteral("Alpha only 16 shades"),
    QStringLiteral("Alpha only 256 shades"),
    QStringLiteral("Raw"),
    QStringLiteral("Raw with alpha"),
    QStringLiteral("Raw as chroma keyed"),
};

// Runs the dialog modally with exec(). Once its event loop runs, calls
// interact with the widget that QApplication reports as the active modal
// one. A dialog that interact leaves open is rejected after a while, so a
// broken dialog fails the test instead of hanging it.
int execAndInteract(QDialog &dialog, const std::function<void(QWidget *modal)> &interact)
{
    QTimer::singleShot(0, &dialog, [&interact] { interact(QApplication::activeModalWidget()); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, &QDialog::reject);
    watchdog.start(5000);
    return dialog.exec();
}

std::unique_ptr<QDialog> makeDialog(const QString &kind)
{
    if (kind == QLatin1String("AboutDlg"))
        return std::make_unique<AboutDlg>();
    if (kind == QLatin1String("NoteWin"))
        return std::make_unique<NoteWin>();
    if (kind == QLatin1String("ColorFormatDlg"))
        return std::make_unique<ColorFormatDlg>();
    return nullptr;
}

// Runs a second UI object's setupUi on a fresh dialog whose object name has
// been replaced by preset, and returns the name the dialog ends up with. The
// first UI object's layout goes, so the second can install its own.
template<typename Dialog, typename Ui> QString objectNameAfterSetupUi(const QString &preset)
{
    Dialog dialog;
    dialog.setObjectName(preset);
    delete dialog.layout();
    Ui ui;
    ui.setupUi(&dialog);
    return dialog.objectName();
}

// The first font family the format names. Qt 6 keeps a list of families
// (fontFamily() is deprecated there); Qt 5's rich text sets a single one.
QString fontFamily(const QTextCharFormat &format)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return format.fontFamilies().toStringList().value(0);
#else
    return format.fontFamily();
#endif
}

// The format a paragraph shows its text in; an empty paragraph keeps its
// style in the block's own character format.
QTextCharFormat paragraphFormat(const QTextBlock &block)
{
    if (block.begin().atEnd())
        return block.charFormat();
    return block.begin().fragment().charFormat();
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void dialogFrames_data();
    void dialogFrames();
    void keepsPresetObjectName_data();
    void keepsPresetObjectName();

    void aboutCannotBeResized();
    void aboutLabels_data();
    void aboutLabels();
    void aboutShowsIcon();

    void notesParagraphs_data();
    void notesParagraphs();
    void notesStructure();
    void notesReflow();

    void clickPicksRow_data();
    void clickPicksRow();
    void keysDoNotPick_data();
    void keysDoNotPick();
    void retranslateKeepsItems();
};

void TestDialogs::dialogFrames_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");

    QTest::newRow("about") << QStringLiteral("AboutDlg") << QStringLiteral("关于")
                           << QSize(480, 272);
    QTest::newRow("notes") << QStringLiteral("NoteWin") << QStringLiteral("使用说明")
                           << QSize(491, 394);
    QTest::newRow("color formats")
        << QStringLiteral("ColorFormatDlg") << QStringLiteral("选择颜色格式") << QSize(264, 385);
}

void TestDialogs::dialogFrames()
{
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(QSize, size);

    const std::unique_ptr<QDialog> dialog = makeDialog(kind);
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), kind);
    QCOMPARE(QString::fromLatin1(dialog->metaObject()->className()), kind);
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->size(), size);
}

void TestDialogs::keepsPresetObjectName_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("expected");

    const QStringList kinds = {QStringLiteral("AboutDlg"), QStringLiteral("NoteWin"),
                               QStringLiteral("ColorFormatDlg")};
    for (const QString &kind : kinds) {
        QTest::addRow("%s unnamed", qPrintable(kind)) << kind << QString() << kind;
        QTest::addRow("%s named", qPrintable(kind))
            << kind << QStringLiteral("customName") << QStringLiteral("customName");
    }
}

void TestDialogs::keepsPresetObjectName()
{
    QFETCH(QString, kind);
    QFETCH(QString, preset);
    QFETCH(QString, expected);

    QString actual;
    if (kind == QLatin1String("AboutDlg"))
        actual = objectNameAfterSetupUi<AboutDlg, AboutDlgUi>(preset);
    else if (kind == QLatin1String("NoteWin"))
        actual = objectNameAfterSetupUi<NoteWin, NoteWinUi>(preset);
    else
        actual = objectNameAfterSetupUi<ColorFormatDlg, ColorFormatDlgUi>(preset);
    QCOMPARE(actual, expected);
}

void TestDialogs::aboutCannotBeResized()
{
    AboutDlg dialog;
    QCOMPARE(dialog.minimumSize(), QSize(480, 272));
    QCOMPARE(dialog.maximumSize(), QSize(480, 272));

    QWidget *modal = nullptr;
    QSize sizeAfterGrow;
    QSize sizeAfterShrink;
    const int result = execAndInteract(dialog, [&](QWidget *active) {
        modal = active;
        if (!active)
            return;
        active->resize(800, 600);
        sizeAfterGrow = active->size();
        active->resize(100, 100);
        sizeAfterShrink = active->size();
        QTest::keyClick(active, Qt::Key_Escape);
    });

    QCOMPARE(modal, &dialog);
    QCOMPARE(sizeAfterGrow, QSize(480, 272));
    QCOMPARE(sizeAfterShrink, QSize(480, 272));
    QCOMPARE(result, int(QDialog::Rejected));
}

void TestDialogs::aboutLabels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("styleSheet");
    QTest::addColumn<QString>("text");

    QTest::newRow("name") << QStringLiteral("label_name") << QRect(190, 20, 261, 40)
                          << QStringLiteral("color: rgb(0, 170, 0);")
                          << QStringLiteral("BrindleForge");
    QTest::newRow("version") << QStringLiteral("label_ver") << QRect(190, 80, 261, 40)
                             << QStringLiteral("color: rgb(255, 85, 0);")
                             << QString(QStringLiteral("版本：V")
                                        + QLatin1String(BRINDLEFORGE_VERSION));
    QTest::newRow("author") << QStringLiteral("label_author") << QRect(190, 140, 261, 40)
                            << QStringLiteral("color: rgb(170, 85, 255);")
                            << QString(QStringLiteral("作者：")
                                       + QString::fromUtf8(BRINDLEFORGE_AUTHOR));
    QTest::newRow("contact") << QStringLiteral("label_contact") << QRect(190, 200, 261, 40)
                             << QStringLiteral("color: rgb(85, 0, 255);")
                             << QString(QStringLiteral("联系：")
                                        + QString::fromUtf8(BRINDLEFORGE_CONTACT_SERVICE)
                                        + QLatin1Char(' ')
                                        + QString::fromUtf8(BRINDLEFORGE_CONTACT));
    QTest::newRow("picture") << QStringLiteral("label_aboutimg") << QRect(30, 60, 128, 128)
                             << QStringLiteral("border-image: url(:/image/icon.png);") << QString();
}

void TestDialogs::aboutLabels()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, styleSheet);
    QFETCH(QString, text);

    AboutDlg dialog;
    const auto *label = dialog.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->parentWidget(), &dialog);
    QCOMPARE(label->geometry(), geometry);
    QCOMPARE(label->styleSheet(), styleSheet);
    QCOMPARE(label->text(), text);

    if (text.isEmpty()) {
        QVERIFY(!label->testAttribute(Qt::WA_SetFont));
    } else {
        QCOMPARE(label->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(label->font().pointSize(), 20);
        QCOMPARE(label->font().weight(), int(QFont::Normal));
    }
}

void TestDialogs::aboutShowsIcon()
{
    AboutDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *picture = dialog.findChild<QLabel *>(QStringLiteral("label_aboutimg"));
    QVERIFY(picture);

    // The 72 x 72 icon is stretched over the 128 x 128 label, so the label's
    // centre shows the icon's centre.
    const QImage icon(QStringLiteral(":/image/icon.png"));
    QVERIFY(!icon.isNull());
    const QColor expected = icon.pixelColor(36, 36);
    const QColor background = dialog.palette().color(QPalette::Window);
    QVERIFY(qAbs(expected.red() - background.red()) + qAbs(expected.green() - background.green())
                + qAbs(expected.blue() - background.blue())
            > 60);

    const QColor shown = picture->grab().toImage().pixelColor(64, 64);
    QVERIFY2(qAbs(shown.red() - expected.red()) <= 8 && qAbs(shown.green() - expected.green()) <= 8
                 && qAbs(shown.blue() - expected.blue()) <= 8,
             qPrintable(shown.name() + QLatin1String(" instead of ") + expected.name()));
}

void TestDialogs::notesParagraphs_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("weight"); // QFont's
    QTest::addColumn<QString>("colour"); // empty: the default colour

    const QString heading = QStringLiteral("#aa007f");
    // The notes' CSS weights are 600 and 400, as Qt 5's rich text writes Bold
    // and Normal; both Qt versions must show them so.
    const int bold = QFont::Bold;
    const int normal = QFont::Normal;
    QTest::newRow("usage heading")
        << 0 << QStringLiteral("工具使用说明：") << 12 << bold << heading;
    QTest::newRow("usage 1") << 1
                             << QStringLiteral(
                                    "1、打开图片可使用文件菜单，或直接拖动图片到本工具。")
                             << 12 << normal << QString();
    QTest::newRow("usage 4") << 4
                             << QStringLiteral("4、非PNG格式图片如打不开请转换成PNG格式再打开。")
                             << 12 << normal << QString();
    QTest::newRow("blank after usage") << 5 << QString() << 12 << normal << QString();
    QTest::newRow("batch heading")
        << 6 << QStringLiteral("批量转换说明：") << 12 << bold << heading;
    QTest::newRow("batch 3") << 9 << QStringLiteral("3、保存选择目录，文件名以原文件名来命名。")
                             << 12 << normal << QString();
    QTest::newRow("log heading") << 11 << QStringLiteral("更新记录：") << 12 << bold << heading;
    QTest::newRow("blank under log heading") << 12 << QString() << 12 << bold << heading;
    QTest::newRow("first version")
        << 13 << QStringLiteral("V0.1") << 12 << normal << QStringLiteral("#000000");
    QTest::newRow("second version") << 16 << QStringLiteral("V0.2") << 12 << normal << QString();
    QTest::newRow("colour fix") << 17
                                << QStringLiteral(
                                       "1、修复RGB565和RGB565SW格式颜色显示不正确的BUG。")
                                << 12 << normal << QString();
    QTest::newRow("const fix") << 18 << QStringLiteral("2、修复有的图片格式定义未加const。") << 12
                               << normal << QString();
    QTest::newRow("last blank") << 19 << QString() << 9 << normal << QString();
}

void TestDialogs::notesParagraphs()
{
    QFETCH(int, block);
    QFETCH(QString, text);
    QFETCH(int, pointSize);
    QFETCH(int, weight);
    QFETCH(QString, colour);

    NoteWin dialog;
    const auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("tb_note"));
    QVERIFY(browser);
    const QTextBlock paragraph = browser->document()->findBlockByNumber(block);
    QVERIFY(paragraph.isValid());
    QCOMPARE(paragraph.text(), text);

    const QTextCharFormat format = paragraphFormat(paragraph);
    QCOMPARE(fontFamily(format), QStringLiteral("SimSun"));
    QCOMPARE(qRound(format.fontPointSize()), pointSize);
    QCOMPARE(format.fontWeight(), weight);
    if (colour.isEmpty())
        QVERIFY(!format.hasProperty(QTextFormat::ForegroundBrush));
    else
        QCOMPARE(format.foreground().color().name(), colour);
}

void TestDialogs::notesStructure()
{
    NoteWin dialog;
    const auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("tb_note"));
    QVERIFY(browser);
    QCOMPARE(browser->font().pointSize(), 9);
    QVERIFY(browser->isReadOnly());
    QCOMPARE(dialog.layout()->count(), 1);
    QCOMPARE(dialog.layout()->itemAt(0)->widget(), browser);

    const QTextDocument *document = browser->document();
    QCOMPARE(document->blockCount(), 20);
    int headings = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        QCOMPARE(format.topMargin(), 0.0);
        QCOMPARE(format.bottomMargin(), 0.0);
        QCOMPARE(format.leftMargin(), 0.0);
        QCOMPARE(format.rightMargin(), 0.0);
        QCOMPARE(format.indent(), 0);
        QCOMPARE(format.textIndent(), 0.0);
        const QTextCharFormat text = paragraphFormat(block);
        if (!block.text().isEmpty() && text.fontWeight() == QFont::Bold
            && text.foreground().color() == QColor(0xaa, 0x00, 0x7f))
            ++headings;
    }
    QCOMPARE(headings, 3);
}

void TestDialogs::notesReflow()
{
    NoteWin dialog;
    auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("tb_note"));
    QVERIFY(browser);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    const QMargins margins = dialog.layout()->contentsMargins();
    dialog.resize(800, 600);
    QTRY_COMPARE(browser->geometry(), dialog.rect().marginsRemoved(margins));
    QTRY_COMPARE(int(browser->document()->textWidth()), browser->viewport()->width());
    const qreal wideHeight = browser->document()->size().height();

    dialog.resize(250, 600);
    QTRY_COMPARE(browser->geometry(), dialog.rect().marginsRemoved(margins));
    QTRY_COMPARE(int(browser->document()->textWidth()), browser->viewport()->width());
    // The long lines now wrap, so the same text takes more height.
    QVERIFY(browser->document()->size().height() > wideHeight);
}

void TestDialogs::clickPicksRow_data()
{
    QTest::addColumn<int>("row");

    for (int row : {0, 1, 2, 6, 7, 11, 13})
        QTest::addRow("%s", qPrintable(formatNames.at(row))) << row;
}

void TestDialogs::clickPicksRow()
{
    QFETCH(int, row);

    ColorFormatDlg dialog;
    QWidget *modal = nullptr;
    QString clickedText;
    const int result = execAndInteract(dialog, [&](QWidget *active) {
        modal = active;
        auto *list = active ? active->findChild<QListWidget *>(QStringLiteral("listWidget_format"))
                            : nullptr;
        if (!list)
            return;
        QListWidgetItem *item = list->item(row);
        if (!item)
            return;
        clickedText = item->text();
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(item).center());
    });

    QCOMPARE(modal, &dialog);
    QCOMPARE(clickedText, formatNames.at(row));
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(dialog.chosenRow(), row);
}

void TestDialogs::keysDoNotPick_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("currentRow");

    // The list starts without a current item; its first navigation key,
    // whichever it is, makes row 0 current.
    QTest::newRow("down") << QList<int> {Qt::Key_Down} << 0;
    QTest::newRow("down down down up")
        << QList<int> {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up} << 1;
    QTest::newRow("down end") << QList<int> {Qt::Key_Down, Qt::Key_End} << 13;
    QTest::newRow("down end home") << QList<int> {Qt::Key_Down, Qt::Key_End, Qt::Key_Home} << 0;
    QTest::newRow("down return") << QList<int> {Qt::Key_Down, Qt::Key_Return} << 0;
    QTest::newRow("down space") << QList<int> {Qt::Key_Down, Qt::Key_Space} << 0;
}

void TestDialogs::keysDoNotPick()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, currentRow);

    ColorFormatDlg dialog;
    bool openAfterKeys = false;
    int currentAfterKeys = -2;
    const int result = execAndInteract(dialog, [&](QWidget *active) {
        auto *list = active ? active->findChild<QListWidget *>(QStringLiteral("listWidget_format"))
                            : nullptr;
        if (!list)
            return;
        for (int key : keys)
            QTest::keyClick(list, Qt::Key(key));
        openAfterKeys = dialog.isVisible() && QApplication::activeModalWidget() == &dialog;
        currentAfterKeys = list->currentRow();
        QTest::keyClick(list, Qt::Key_Escape);
    });

    // The keys reached the list (they moved its current row) but did not
    // pick anything.
    QCOMPARE(currentAfterKeys, currentRow);
    QVERIFY(openAfterKeys);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(dialog.chosenRow(), -1);
}

void TestDialogs::retranslateKeepsItems()
{
    // A second UI object on the same dialog builds a second list that the
    // test can reach and retranslate directly.
    ColorFormatDlg dialog;
    delete dialog.layout();
    ColorFormatDlgUi ui;
    ui.setupUi(&dialog);
    QListWidget *list = ui.listWidget_format;
    QCOMPARE(list->font().pointSize(), 11);
    QVERIFY(!list->isSortingEnabled());

    ui.retranslateUi(&dialog);
    ui.retranslateUi(&dialog);
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    QCOMPARE(texts, formatNames);

    // As after a change of language: stale texts, and sorting on. Every new
    // text must land exactly once; renaming items while the list moves each
    // renamed one to its sorted place would hit some rows twice and skip
    // others.
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setText(QString::number(99 - row));
    list->setSortingEnabled(true);
    ui.retranslateUi(&dialog);
    QVERIFY(list->isSortingEnabled());
    texts.clear();
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    texts.sort();
    QStringList sortedNames = formatNames;
    sortedNames.sort();
    QCOMPARE(texts, sortedNames);
}

QTEST_MAIN(TestDialogs)

#include "tst_dialogs.moc"
