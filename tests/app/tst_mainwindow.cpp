#include "dialogdriver.h"

#include <aboutdlg.h>
#include <converter.h>
#include <csymbol.h>
#include <hostilefiles.h>
#include <mainwindow.h>
#include <mainwindowui.h>
#include <notewin.h>
#include <testfiles.h>
#include <testimages.h>

#include <buildconfig.h>

#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#include <QtWidgets>

#include <unistd.h>

using namespace Convert;
using namespace TestFiles;

namespace {

bool saveImage(const QImage &image, const QString &path)
{
    return image.save(path);
}

// What the engine writes for source into outputPath, in memory.
QByteArray engineBytes(const QString &source, OutputFormat output, ColorFormat color,
                       const QString &outputPath)
{
    QImage image;
    if (!loadImage(source, &image).ok())
        return QByteArray();
    QByteArray bytes;
    encodeImage(image, output, color, cSymbolForPath(outputPath), &bytes);
    return bytes;
}

// The picture a label shows. Qt 5.15 returns it by value only when asked
// with Qt::ReturnByValue; Qt 6 always does, and deprecates that form.
QPixmap shownPixmap(const QLabel *label)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return label->pixmap();
#else
    return label->pixmap(Qt::ReturnByValue);
#endif
}

QMimeData *urlMime(const QStringList &paths)
{
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << (path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
    mime->setUrls(urls);
    return mime;
}

// Handlers for the dialogs the window opens.

// Types path into a file dialog's name field. QFileDialog::selectFile()
// leaves that field alone while it has the focus, which depends on when the
// window system activates the dialog; typed text is what the dialog returns.
void typeFileName(QFileDialog *dialog, const QString &path)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(path);
}

// Picks files in the open dialog by typing their names.
DialogDriver::Handler chooseFiles(const QStringList &paths, QString *title = nullptr,
                                  QString *directory = nullptr, QStringList *filters = nullptr)
{
    return [=](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        QVERIFY(dialog);
        if (title)
            *title = dialog->windowTitle();
        if (directory)
            *directory = dialog->directory().absolutePath();
        if (filters)
            *filters = dialog->nameFilters();
        QStringList quoted;
        for (const QString &path : paths)
            quoted << QLatin1Char('"') + QFileInfo(path).fileName() + QLatin1Char('"');
        dialog->setDirectory(QFileInfo(paths.first()).absolutePath());
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        edit->setText(quoted.join(QLatin1Char(' ')));
        static_cast<QDialog *>(dialog)->accept();
    };
}

struct SaveDialogSeen
{
    QString title;
    QString suggested;
    QString filter;
};

// Accepts the single-file save dialog with target, noting its suggestion.
DialogDriver::Handler saveAs(const QString &target, SaveDialogSeen *seen = nullptr)
{
    return [=](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        QVERIFY(dialog);
        if (seen) {
            seen->title = dialog->windowTitle();
            seen->suggested = dialog->selectedFiles().value(0);
            seen->filter = dialog->selectedNameFilter();
        }
        if (target.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(QFileInfo(target).absolutePath());
        typeFileName(dialog, target);
        static_cast<QDialog *>(dialog)->accept();
    };
}

// Chooses directory in the directory dialog. Calls beforeAccept first, so a
// test can take the folder away while the dialog is open.
DialogDriver::Handler chooseDirectory(const QString &directory, QString *title = nullptr,
                                      QString *start = nullptr,
                                      std::function<void()> beforeAccept = {})
{
    return [=](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        QVERIFY(dialog);
        QVERIFY(dialog->fileMode() != QFileDialog::AnyFile
                && dialog->fileMode() != QFileDialog::ExistingFile
                && dialog->fileMode() != QFileDialog::ExistingFiles);
        QVERIFY(dialog->testOption(QFileDialog::ShowDirsOnly));
        if (title)
            *title = dialog->windowTitle();
        if (start)
            *start = dialog->directory().absolutePath();
        dialog->setDirectory(directory);
        typeFileName(dialog, directory);
        if (beforeAccept)
            beforeAccept();
        // done() rather than accept(): accept() would refuse a folder that
        // no longer exists, and the user's answer is what is tested here.
        static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
    };
}

struct MessageSeen
{
    QString className;
    QString title;
    QString text;
    QString informative;
    QString detailed;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

DialogDriver::Handler answerMessage(MessageSeen *seen)
{
    return [=](QWidget *widget) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        QVERIFY(box);
        seen->className = QString::fromLatin1(widget->metaObject()->className());
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->informative = box->informativeText();
        seen->detailed = box->detailedText();
        seen->icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    };
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The shell.
    void layout();
    void retranslateKeepsItems();
    void keepsObjectName();
    void linkLabel();
    void labelClicks_data();
    void labelClicks();
    void clickElsewhereDoesNotSave();
    void exitEndsEventLoop();
    void helpDialogs();

    // Intake and preview.
    void openKeepsBatchWhenCancelled();
    void dragEnter_data();
    void dragEnter();
    void dropLeavesSourceFiles();
    void dropWithoutUrls();
    void onePixelPreview();
    void undecodablePreview();
    void indexedPreview();

    // Saving.
    void saveWithoutImage();
    void singleSaveDialog_data();
    void singleSaveDialog();
    void singleSaveCancelled();
    void batchSave_data();
    void batchSave();
    void clickOnPreviewSaves();
    void reportsUnwritableFolder_data();
    void reportsUnwritableFolder();
    void reportsUndecodableAndOversized();
    void hostileSources_data();
    void hostileSources();
    void reportsNameCollision();
    void cancelLongBatch();
    void emptyBatchWritesNothing();

private:
    void openFiles(const QStringList &paths);
    void dropOn(MainWindow *window, QDropEvent *event);
    QString makeImage(const QString &name, const QImage &image);

    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<MainWindow> m_window;
    QScopedPointer<DialogDriver> m_driver;
};

void TestMainWindow::initTestCase()
{
    // The same widget-based file dialogs on every desktop, so the tests can
    // drive them.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestMainWindow::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_window.reset(new MainWindow);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    m_driver.reset(new DialogDriver);
}

void TestMainWindow::cleanup()
{
    const QStringList unexpected = m_driver->unexpected();
    const int pending = m_driver->pendingHandlers();
    m_driver.reset();
    m_window.reset();
    m_dir.reset();
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1String(", "))));
    QCOMPARE(pending, 0);
}

QString TestMainWindow::makeImage(const QString &name, const QImage &image)
{
    const QString path = m_dir->filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!saveImage(image, path))
        return QString();
    return path;
}

// A drop delivered straight to the window's handler: QApplication routes a
// Drop event through the drag manager, which only exists while a real drag
// is in progress.
void TestMainWindow::dropOn(MainWindow *window, QDropEvent *event)
{
    window->dropEvent(event);
}

void TestMainWindow::openFiles(const QStringList &paths)
{
    m_driver->expect(chooseFiles(paths));
    m_window->ui->action_open->trigger();
}

void TestMainWindow::layout()
{
    MainWindow &w = *m_window;
    MainWindowUi *ui = w.ui;
    QCOMPARE(w.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w.windowTitle(), QStringLiteral("BrindleForge_V0.2"));
    QCOMPARE(w.size(), QSize(897, 590));

    const QList<QAction *> menus = ui->menuBar->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->text(), QStringLiteral("文件"));
    QCOMPARE(menus.at(1)->text(), QStringLiteral("帮助"));
    const QList<QAction *> file = ui->menu->actions();
    const QList<QAction *> help = ui->menu_2->actions();
    QCOMPARE(file, (QList<QAction *> {ui->action_open, ui->action_save, ui->action_close}));
    QCOMPARE(help, (QList<QAction *> {ui->action_note, ui->action_about}));
    const QStringList texts {QStringLiteral("打开图片"), QStringLiteral("保存"),
                             QStringLiteral("退出"), QStringLiteral("说明"),
                             QStringLiteral("关于")};
    const QList<QAction *> actions = file + help;
    for (int i = 0; i < actions.size(); ++i) {
        QCOMPARE(actions.at(i)->text(), texts.at(i));
        QVERIFY(!actions.at(i)->icon().isNull());
        QVERIFY(actions.at(i)->shortcut().isEmpty());
    }

    QCOMPARE(ui->label->text(), QStringLiteral("分辨率："));
    QCOMPARE(ui->label_size->text(), QString());
    QCOMPARE(ui->label_4->text(), QStringLiteral("支持批量操作，具体看帮助说明"));
    QCOMPARE(ui->label_4->styleSheet(), QStringLiteral("color: rgb(0, 0, 255);"));
    QCOMPARE(ui->label_2->text(), QStringLiteral("Color format:"));
    QCOMPARE(ui->label_3->text(), QStringLiteral("Output format:"));
    QVERIFY(ui->label->font().bold());
    QCOMPARE(ui->label->font().pointSize(), 11);
    QCOMPARE(ui->combo_color_format->font().family(), QStringLiteral("Arial"));

    QCOMPARE(ui->combo_output_format->currentText(), QStringLiteral("C array"));
    QCOMPARE(ui->combo_color_format->currentText(), QStringLiteral("True color"));
    QVERIFY(shownPixmap(ui->label_img).isNull());
    QCOMPARE(ui->label_img->frameShape(), QFrame::Box);
    QCOMPARE(ui->label_img->geometry(), QRect(0, 30, 151, 131));
    QCOMPARE(ui->combo_color_format->geometry(), QRect(100, 0, 191, 22));
    QCOMPARE(ui->combo_output_format->geometry(), QRect(410, 0, 171, 22));

    QCOMPARE(ui->centralWidget->styleSheet(),
             QStringLiteral("#centralWidget {\n\tbackground-image: url(:/image/bg.png);\n}\n"
                            "#centralWidget * {\n    background:rgb();\n}"));
    QVERIFY(ui->scrollArea->widgetResizable());
    QCOMPARE(ui->scrollArea->frameShape(), QFrame::NoFrame);
    QCOMPARE(ui->scrollArea->widget(), ui->scrollAreaWidgetContents);

    // The status row stays on top and the scroll area takes the extra
    // height; the controls inside it keep their places.
    const int rowHeight = ui->label->height();
    w.resize(1200, 900);
    QTRY_COMPARE(ui->scrollArea->geometry().bottom(), ui->centralWidget->height() - 1);
    QCOMPARE(ui->label->height(), rowHeight);
    QVERIFY(ui->label->y() < ui->scrollArea->y());
    QCOMPARE(ui->combo_output_format->geometry(), QRect(410, 0, 171, 22));
}

void TestMainWindow::retranslateKeepsItems()
{
    MainWindowUi *ui = m_window->ui;
    ui->combo_output_format->setCurrentIndex(3);
    ui->retranslateUi(m_window.data());
    ui->retranslateUi(m_window.data());
    const QStringList outputs {
        QStringLiteral("C array"), QStringLiteral("Binary RGB332"), QStringLiteral("Binary RGB565"),
        QStringLiteral("Binary RGB565 Swap"), QStringLiteral("Binary RGB888")};
    const QStringList colors {QStringLiteral("True color"), QStringLiteral("True color with alpha"),
                              QStringLiteral("True color chroma keyed"),
                              QStringLiteral("Indexed 256 colors")};
    QCOMPARE(ui->combo_output_format->count(), 5);
    QCOMPARE(ui->combo_color_format->count(), 4);
    for (int i = 0; i < outputs.size(); ++i)
        QCOMPARE(ui->combo_output_format->itemText(i), outputs.at(i));
    for (int i = 0; i < colors.size(); ++i)
        QCOMPARE(ui->combo_color_format->itemText(i), colors.at(i));
    // The engine's names are the window's.
    for (int i = 0; i < outputs.size(); ++i)
        QCOMPARE(displayName(OutputFormat(i)), outputs.at(i));
    for (int i = 0; i < colors.size(); ++i)
        QCOMPARE(displayName(ColorFormat(i)), colors.at(i));
}

void TestMainWindow::keepsObjectName()
{
    // setupUi names a window only when it has no name yet.
    QMainWindow host;
    MainWindow named;
    named.setObjectName(QStringLiteral("customName"));
    MainWindowUi second;
    second.setupUi(&named);
    QCOMPARE(named.objectName(), QStringLiteral("customName"));
    QCOMPARE(named.windowTitle(), QStringLiteral("BrindleForge_V0.2"));
}

void TestMainWindow::linkLabel()
{
    QLabel *link = m_window->ui->label_link;
    QVERIFY(link->openExternalLinks());
    QCOMPARE(link->textFormat(), Qt::AutoText);
    QVERIFY(Qt::mightBeRichText(link->text()));
    QTextDocument document;
    document.setHtml(link->text());
    QCOMPARE(document.toPlainText(), QStringLiteral("看看是否有新版本"));
    QVERIFY(link->text().contains(
        QStringLiteral("href=\"%1\"")
            .arg(QString::fromUtf8(BRINDLEFORGE_UPDATE_URL).toHtmlEscaped())));
}

void TestMainWindow::labelClicks_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("saves");

    QTest::newRow("left") << int(Qt::LeftButton) << true;
    QTest::newRow("right") << int(Qt::RightButton) << false;
    QTest::newRow("middle") << int(Qt::MiddleButton) << false;
}

void TestMainWindow::labelClicks()
{
    QFETCH(int, button);
    QFETCH(bool, saves);

    QLabel *label = m_window->ui->label_img;
    MessageSeen seen;
    if (saves)
        m_driver->expect(answerMessage(&seen));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), label->mapToGlobal(QPoint(5, 5)),
                      Qt::MouseButton(button), Qt::MouseButton(button), Qt::NoModifier);
    // The window's filter consumes a left press only.
    QCOMPARE(m_window->eventFilter(label, &press), saves);
    if (saves) {
        QCOMPARE(seen.title, QStringLiteral("提示"));
        QCOMPARE(seen.text, QStringLiteral("未打开图片"));
        QCOMPARE(seen.icon, QMessageBox::Information);
    }
    // A release or any other event is never consumed.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), label->mapToGlobal(QPoint(5, 5)),
                        Qt::MouseButton(button), Qt::NoButton, Qt::NoModifier);
    QVERIFY(!m_window->eventFilter(label, &release));
    QEvent enter(QEvent::Enter);
    QVERIFY(!m_window->eventFilter(label, &enter));
    QCOMPARE(m_driver->seen().size(), saves ? 1 : 0);
}

void TestMainWindow::clickElsewhereDoesNotSave()
{
    // Real clicks through the event system: on the label they save, on
    // other widgets they do not.
    MessageSeen seen;
    m_driver->expect(answerMessage(&seen));
    QTest::mouseClick(m_window->ui->label_img, Qt::LeftButton);
    QCOMPARE(seen.text, QStringLiteral("未打开图片"));

    QTest::mouseClick(m_window->ui->label_size, Qt::LeftButton);
    QTest::mouseClick(m_window->ui->label_2, Qt::LeftButton);
    QTest::mouseClick(m_window->ui->scrollAreaWidgetContents, Qt::LeftButton, {}, QPoint(700, 300));
    QTest::qWait(30);
    QCOMPARE(m_driver->seen().size(), 1);
}

void TestMainWindow::exitEndsEventLoop()
{
    QAction *exit = m_window->ui->action_close;
    QTimer::singleShot(0, exit, &QAction::trigger);
    const int code = QApplication::exec();
    QCOMPARE(code, 0);
    QVERIFY(!m_window->isVisible());
}

void TestMainWindow::helpDialogs()
{
    QPointer<QWidget> first;
    QPointer<QWidget> second;
    QSize aboutSize;
    m_driver->expect([&](QWidget *dialog) {
        QVERIFY(qobject_cast<AboutDlg *>(dialog));
        first = dialog;
        aboutSize = dialog->size();
        QCOMPARE(dialog->parentWidget(), m_window.data());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("关于"));
        qobject_cast<QDialog *>(dialog)->reject();
    });
    m_window->ui->action_about->trigger();
    QVERIFY(first.isNull()); // destroyed when the slot returned
    QCOMPARE(aboutSize, QSize(480, 272));

    m_driver->expect([&](QWidget *dialog) {
        QVERIFY(qobject_cast<AboutDlg *>(dialog));
        second = dialog;
        qobject_cast<QDialog *>(dialog)->reject();
    });
    m_window->ui->action_about->trigger();
    QVERIFY(second.isNull());

    m_driver->expect([&](QWidget *dialog) {
        QVERIFY(qobject_cast<NoteWin *>(dialog));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("使用说明"));
        qobject_cast<QDialog *>(dialog)->reject();
    });
    m_window->ui->action_note->trigger();
    QCOMPARE(m_window->findChildren<QDialog *>().size(), 0);
}

void TestMainWindow::openKeepsBatchWhenCancelled()
{
    const QImage image = TestImages::photo(30, 20);
    const QStringList paths {makeImage(QStringLiteral("pics/a.png"), image),
                             makeImage(QStringLiteral("pics/b.png"), image.scaled(12, 9)),
                             makeImage(QStringLiteral("pics/c.jpg"), image)};

    QString title;
    QString start;
    QStringList filters;
    m_driver->expect(chooseFiles(paths, &title, &start, &filters));
    m_window->ui->action_open->trigger();
    QCOMPARE(title, QStringLiteral("打开图片"));
    QCOMPARE(filters, QStringList {QStringLiteral("图片文件 (*.bmp;*.jpg;*.jpeg;*.png)")});
    QCOMPARE(m_window->imageFiles.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QFileInfo(m_window->imageFiles.at(i)).fileName(),
                 QFileInfo(paths.at(i)).fileName());
    QCOMPARE(m_window->ui->label_size->text(), QStringLiteral("30 * 20"));
    QCOMPARE(m_window->saveDir, m_dir->filePath(QStringLiteral("pics")));

    // The next dialog starts in the folder of the previewed image; cancelling
    // it keeps the batch and the preview.
    QString nextTitle;
    m_driver->expect([&](QWidget *dialog) {
        start = qobject_cast<QFileDialog *>(dialog)->directory().absolutePath();
        qobject_cast<QDialog *>(dialog)->reject();
    });
    m_window->ui->action_open->trigger();
    QCOMPARE(start, m_dir->filePath(QStringLiteral("pics")));
    QCOMPARE(m_window->imageFiles.size(), 3);
    QCOMPARE(m_window->ui->label_size->text(), QStringLiteral("30 * 20"));
}

void TestMainWindow::dragEnter_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("upper and mixed case")
        << QStringList {"A.PNG", "b.jpeg", "c.Jpg", "d.bmp"} << true;
    QTest::newRow("one text file refuses all") << QStringList {"a.png", "notes.txt"} << false;
    QTest::newRow("no suffix") << QStringList {"picture"} << false;
    QTest::newRow("folder") << QStringList {"folder/"} << false;
    QTest::newRow("web link") << QStringList {"https://example.org/a.png"} << false;
    QTest::newRow("no urls") << QStringList() << true;
}

void TestMainWindow::dragEnter()
{
    QFETCH(QStringList, files);
    QFETCH(bool, accepted);

    QStringList paths;
    for (const QString &file : files)
        paths << (file.contains(QLatin1String("://")) ? file : m_dir->filePath(file));
    QScopedPointer<QMimeData> mime(files.isEmpty() ? new QMimeData : urlMime(paths));
    if (files.isEmpty())
        mime->setText(QStringLiteral("some text"));
    QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, mime.data(),
                          Qt::LeftButton, Qt::NoModifier);
    event.ignore();
    QApplication::sendEvent(m_window.data(), &event);
    QCOMPARE(event.isAccepted(), accepted);
    if (accepted)
        QCOMPARE(event.dropAction(), Qt::MoveAction);
}

void TestMainWindow::dropLeavesSourceFiles()
{
    const QString a = makeImage(QStringLiteral("drop/A.PNG"), TestImages::photo(7, 5));
    const QString b = makeImage(QStringLiteral("drop/b.jpeg"), TestImages::photo(9, 9));
    QScopedPointer<QMimeData> mime(urlMime({a, b}));
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, mime.data(), Qt::LeftButton,
                    Qt::NoModifier);
    drop.ignore();
    dropOn(m_window.data(), &drop);
    QCOMPARE(m_window->imageFiles, (QStringList {a, b}));
    QCOMPARE(m_window->ui->label_size->text(), QStringLiteral("7 * 5"));
    QVERIFY(m_window->imageOpened);
    // Not accepted, so a "move" from a file manager deletes nothing.
    QVERIFY(!drop.isAccepted());
    QVERIFY(QFile::exists(a) && QFile::exists(b));
}

void TestMainWindow::dropWithoutUrls()
{
    const QString a = makeImage(QStringLiteral("x/a.png"), TestImages::photo(6, 4));
    openFiles({a});
    QCOMPARE(m_window->ui->label_size->text(), QStringLiteral("6 * 4"));

    QMimeData mime;
    mime.setText(QStringLiteral("just text"));
    QDropEvent drop(QPointF(10, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    dropOn(m_window.data(), &drop);
    QVERIFY(m_window->imageFiles.isEmpty());
    QCOMPARE(m_window->ui->label_size->text(), QStringLiteral("6 * 4"));
    QCOMPARE(m_window->saveDir, m_dir->filePath(QStringLiteral("x")));
    QVERIFY(m_window->imageOpened);
    QVERIFY(!shownPixmap(m_window->ui->label_img).isNull());
}

void TestMainWindow::onePixelPreview()
{
    QImage pixel(1, 1, QImage::Format_ARGB32);
    pixel.fill(Qt::red);
    openFiles({makeImage(QStringLiteral("one.png"), pixel)});
    QCOMPARE(m_window->ui->label_size->text(), QStringLiteral("1 * 1"));
    QCOMPARE(m_window->ui->label_img->size(), QSize(1, 1));
    QCOMPARE(m_window->ui->label_img->pos(), QPoint(0, 30));
}

void TestMainWindow::undecodablePreview()
{
    const QString bad = m_dir->filePath(QStringLiteral("broken/bad.png"));
    QVERIFY(QDir().mkpath(QFileInfo(bad).absolutePath()));
    QVERIFY(writeFile(bad, "not a png"));
    QScopedPointer<QMimeData> mime(urlMime({bad}));
    QDropEvent drop(QPointF(10, 10), Qt::MoveAction, mime.data(), Qt::LeftButton, Qt::NoModifier);
    dropOn(m_window.data(), &drop);
    QCOMPARE(m_window->ui->label_size->text(), QStringLiteral("0 * 0"));
    QCOMPARE(m_window->ui->label_img->size(), QSize(0, 0));
    QVERIFY(m_window->imageOpened);
    QCOMPARE(m_window->saveDir, QFileInfo(bad).absolutePath());
    QCOMPARE(m_window->imageFiles, QStringList {bad});
}

void TestMainWindow::indexedPreview()
{
    const QImage photo = TestImages::photo(64, 48, 5);
    const QString path = makeImage(QStringLiteral("photo.png"), photo);
    m_window->ui->combo_color_format->setCurrentIndex(Indexed256);
    openFiles({path});

    const QImage expected = QImage(path)
                                .convertToFormat(QImage::Format_Indexed8)
                                .convertToFormat(QImage::Format_ARGB32);
    const QImage shown =
        shownPixmap(m_window->ui->label_img).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown, expected);
    QVERIFY(shown != QImage(path).convertToFormat(QImage::Format_ARGB32));

    // Choosing another colour format does not redraw it.
    m_window->ui->combo_color_format->setCurrentIndex(TrueColor);
    QCOMPARE(shownPixmap(m_window->ui->label_img).toImage().convertToFormat(QImage::Format_ARGB32),
             expected);
}

void TestMainWindow::saveWithoutImage()
{
    m_window->ui->combo_output_format->setCurrentIndex(BinaryRgb888);
    m_window->ui->combo_color_format->setCurrentIndex(Indexed256);
    MessageSeen seen;
    m_driver->expect(answerMessage(&seen));
    m_window->ui->action_save->trigger();
    QCOMPARE(seen.text, QStringLiteral("未打开图片"));
    QCOMPARE(seen.title, QStringLiteral("提示"));
    QCOMPARE(m_driver->seen().size(), 1);
}

void TestMainWindow::singleSaveDialog_data()
{
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("filter");

    QTest::newRow("C array") << int(CArray) << int(TrueColorAlpha) << "logo.c"
                             << "C文件 (*.c)";
    QTest::newRow("indexed") << int(CArray) << int(Indexed256) << "logo.c"
                             << "C文件 (*.c)";
    QTest::newRow("binary RGB565") << int(BinaryRgb565) << int(TrueColor) << "logo.bin"
                                   << "bin文件 (*.bin)";
    QTest::newRow("binary RGB888 ignores the colour format")
        << int(BinaryRgb888) << int(Indexed256) << "logo.bin"
        << "bin文件 (*.bin)";
}

void TestMainWindow::singleSaveDialog()
{
    QFETCH(int, output);
    QFETCH(int, color);
    QFETCH(QString, fileName);
    QFETCH(QString, filter);

    const QString source =
        makeImage(QStringLiteral("img/logo.small.png"), TestImages::photo(21, 13));
    openFiles({source});
    m_window->ui->combo_output_format->setCurrentIndex(output);
    m_window->ui->combo_color_format->setCurrentIndex(color);

    // The base name is up to the first dot; a different name may be chosen.
    const QString target =
        m_dir->filePath(QStringLiteral("out/my-logo.") + QFileInfo(fileName).suffix());
    QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
    SaveDialogSeen seen;
    m_driver->expect(saveAs(target, &seen));
    m_window->ui->action_save->trigger();
    QCOMPARE(seen.title, QStringLiteral("保存图片"));
    QCOMPARE(seen.suggested, m_dir->filePath(QStringLiteral("img/logo") + fileName.mid(4)));
    QCOMPARE(seen.filter, filter);
    QCOMPARE(readFile(target),
             engineBytes(source, OutputFormat(output), ColorFormat(color), target));
    if (output == CArray)
        QVERIFY(readFile(target).contains("const lv_img_dsc_t my_logo = {"));
}

void TestMainWindow::singleSaveCancelled()
{
    const QString source = makeImage(QStringLiteral("logo.png"), TestImages::photo(5, 5));
    openFiles({source});
    m_driver->expect(saveAs(QString()));
    m_window->ui->action_save->trigger();
    QCOMPARE(entries(m_dir->path()), QStringList {QStringLiteral("logo.png")});
}

void TestMainWindow::batchSave_data()
{
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("extension");

    QTest::newRow("C array, alpha") << int(CArray) << int(TrueColorAlpha) << ".c";
    QTest::newRow("C array, indexed") << int(CArray) << int(Indexed256) << ".c";
    QTest::newRow("binary RGB332") << int(BinaryRgb332) << int(TrueColor) << ".bin";
}

void TestMainWindow::batchSave()
{
    QFETCH(int, output);
    QFETCH(int, color);
    QFETCH(QString, extension);

    const QStringList sources {
        makeImage(QStringLiteral("src/first.png"), TestImages::photo(17, 9, 1)),
        makeImage(QStringLiteral("src/second.jpg"),
                  TestImages::photo(8, 8, 2).convertToFormat(QImage::Format_RGB32)),
        makeImage(QStringLiteral("src/third.bmp"),
                  TestImages::photo(5, 12, 3).convertToFormat(QImage::Format_RGB32)),
    };
    openFiles(sources);
    m_window->ui->combo_output_format->setCurrentIndex(output);
    m_window->ui->combo_color_format->setCurrentIndex(color);

    const QString target = m_dir->filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkpath(target));
    // An earlier output of the same name is replaced without a question.
    QVERIFY(writeFile(target + QStringLiteral("/first") + extension, QByteArray(100000, 'x')));
    QString title;
    QString start;
    m_driver->expect(chooseDirectory(target, &title, &start));
    m_window->ui->action_save->trigger();
    QCOMPARE(title, QStringLiteral("保存目录"));
    QCOMPARE(start, m_dir->filePath(QStringLiteral("src")));

    QStringList expectedNames;
    for (const QString &source : sources)
        expectedNames << QFileInfo(source).baseName() + extension;
    expectedNames.sort();
    QCOMPARE(entries(target), expectedNames);
    for (const QString &source : sources) {
        const QString out = target + QLatin1Char('/') + QFileInfo(source).baseName() + extension;
        QCOMPARE(readFile(out), engineBytes(source, OutputFormat(output), ColorFormat(color), out));
    }
    QCOMPARE(m_driver->seen().size(), 2); // the open and the directory dialogs: no report
    // The folder chosen is not remembered.
    QCOMPARE(m_window->saveDir, m_dir->filePath(QStringLiteral("src")));
}

void TestMainWindow::clickOnPreviewSaves()
{
    const QString source = makeImage(QStringLiteral("logo.png"), TestImages::photo(40, 30));
    openFiles({source});
    const QString target = m_dir->filePath(QStringLiteral("clicked.c"));
    SaveDialogSeen seen;
    m_driver->expect(saveAs(target, &seen));
    QTest::mouseClick(m_window->ui->label_img, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(seen.title, QStringLiteral("保存图片"));
    QCOMPARE(readFile(target), engineBytes(source, CArray, TrueColor, target));
}

void TestMainWindow::reportsUnwritableFolder_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("folder removed meanwhile") << "removed";
    QTest::newRow("folder is a regular file") << "file";
    QTest::newRow("read-only folder") << "read-only";
}

void TestMainWindow::reportsUnwritableFolder()
{
    QFETCH(QString, how);
    if (how == QLatin1String("read-only") && geteuid() == 0)
        QSKIP("Running as root, which ignores folder permissions; the other rows fail for real");

    const QStringList sources {makeImage(QStringLiteral("a.png"), TestImages::photo(6, 6)),
                               makeImage(QStringLiteral("b.png"), TestImages::photo(7, 7))};
    openFiles(sources);
    const QString target = m_dir->filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkpath(target));
    std::function<void()> spoil;
    if (how == QLatin1String("removed")) {
        spoil = [target] { QDir(target).removeRecursively(); };
    } else if (how == QLatin1String("file")) {
        spoil = [target] {
            QDir(target).removeRecursively();
            writeFile(target, "a file");
        };
    } else {
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
    }
    m_driver->expect(chooseDirectory(target, nullptr, nullptr, spoil));
    MessageSeen report;
    m_driver->expect(answerMessage(&report));
    m_window->ui->action_save->trigger();

    QCOMPARE(report.icon, QMessageBox::Warning);
    QCOMPARE(report.title, QStringLiteral("保存出错"));
    QVERIFY2(report.text.contains(QStringLiteral("2 个文件中有 2 个未保存")),
             qPrintable(report.text));
    for (const QString &source : sources) {
        QVERIFY(report.detailed.contains(QDir::toNativeSeparators(source)));
    }
    QVERIFY2(report.informative.contains(QStringLiteral("无法创建输出文件")),
             qPrintable(report.informative));
    QVERIFY(!QFile::exists(target + QStringLiteral("/a.c")));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestMainWindow::reportsUndecodableAndOversized()
{
    const QString good = makeImage(QStringLiteral("good.png"), TestImages::photo(9, 9));
    const QString bad = m_dir->filePath(QStringLiteral("bad.png"));
    QVERIFY(writeFile(bad, "\x89PNG but not really"));
    QImage wide(2048, 1, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    const QString huge = makeImage(QStringLiteral("wide.png"), wide);
    openFiles({good, bad, huge});

    const QString target = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(target));
    const QByteArray earlier = "an earlier good output of bad.png";
    QVERIFY(writeFile(target + QStringLiteral("/bad.c"), earlier));
    m_driver->expect(chooseDirectory(target));
    MessageSeen report;
    m_driver->expect(answerMessage(&report));
    m_window->ui->action_save->trigger();

    QVERIFY2(report.text.contains(QStringLiteral("3 个文件中有 2 个未保存")),
             qPrintable(report.text));
    QVERIFY2(report.detailed.contains(QDir::toNativeSeparators(bad)
                                      + QStringLiteral("：不是 PNG、JPEG 或 BMP 图片")),
             qPrintable(report.detailed));
    QVERIFY2(report.detailed.contains(QStringLiteral("2048 × 1")), qPrintable(report.detailed));
    QVERIFY(!report.detailed.contains(QDir::toNativeSeparators(good)));
    QCOMPARE(readFile(target + QStringLiteral("/bad.c")), earlier);
    QCOMPARE(entries(target), (QStringList {QStringLiteral("bad.c"), QStringLiteral("good.c")}));
}

enum class Hostile { TruncatedPng, TruncatedBmp, Fifo, Bomb, ControlCharacters };
Q_DECLARE_METATYPE(Hostile)

void TestMainWindow::hostileSources_data()
{
    QTest::addColumn<Hostile>("hostile");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("size"); // what label_size shows after the drop
    QTest::addColumn<QString>("reason"); // the report's line for it, after the name

    const QString corrupt = QStringLiteral("：无法解码图片（数据不完整或已损坏）");
    QTest::newRow("PNG cut short") << Hostile::TruncatedPng << "cut.png"
                                   << "0 * 0" << corrupt;
    QTest::newRow("BMP cut short") << Hostile::TruncatedBmp << "cut.bmp"
                                   << "0 * 0" << corrupt;
    QTest::newRow("FIFO") << Hostile::Fifo << "fifo.png"
                          << "0 * 0" << QStringLiteral("：不是普通文件");
    QTest::newRow("header claiming 16000 x 16000")
        << Hostile::Bomb << "bomb.png"
        << "16000 * 16000"
        << QStringLiteral("：图片为 16000 × 16000 像素，超过 LVGL 图片的上限 2047 × 2047");
    QTest::newRow("control characters in the name")
        << Hostile::ControlCharacters << "a\\nb\\x1b[2J.png"
        << "0 * 0" << QStringLiteral("：不是 PNG、JPEG 或 BMP 图片");
}

// A hostile first image is previewed without blocking and without a
// picture (a bomb shows its header's size); the save then names it, its
// file name escaped, and writes the good one beside it.
void TestMainWindow::hostileSources()
{
    QFETCH(Hostile, hostile);
    QFETCH(QString, fileName);
    QFETCH(QString, size);
    QFETCH(QString, reason);

    const QString name =
        hostile == Hostile::ControlCharacters ? QStringLiteral("a\nb\x1b[2J.png") : fileName;
    const QString path = m_dir->filePath(name);
    const QImage photo = TestImages::photo(40, 30, 2);
    switch (hostile) {
    case Hostile::TruncatedPng: {
        const QByteArray png = HostileFiles::encoded(photo, "PNG");
        QVERIFY(writeFile(path, png.left(png.size() / 2)));
        break;
    }
    case Hostile::TruncatedBmp: {
        const QByteArray bmp = HostileFiles::encoded(photo, "BMP");
        QVERIFY(writeFile(path, bmp.left(bmp.size() - 20 * 40 * 3)));
        break;
    }
    case Hostile::Fifo:
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
#else
        QSKIP("needs FIFOs");
#endif
        break;
    case Hostile::Bomb:
        QVERIFY(writeFile(path, HostileFiles::png(16000, 16000, true)));
        break;
    case Hostile::ControlCharacters:
        QVERIFY(writeFile(path, "not an image"));
        break;
    }
    const QString good = makeImage(QStringLiteral("good.png"), TestImages::photo(9, 9));

    QScopedPointer<QMimeData> mime(urlMime({path, good}));
    QDropEvent drop(QPointF(10, 10), Qt::MoveAction, mime.data(), Qt::LeftButton, Qt::NoModifier);
    dropOn(m_window.data(), &drop);
    QCOMPARE(m_window->ui->label_size->text(), size);
    QCOMPARE(m_window->ui->label_img->size(), QSize(0, 0));
    QVERIFY(m_window->previewImage.isNull());

    const QString target = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(target));
    const QString kept =
        target + QLatin1Char('/') + QFileInfo(path).baseName() + QStringLiteral(".c");
    QVERIFY(writeFile(kept, "int keep;"));
    m_driver->expect(chooseDirectory(target));
    MessageSeen report;
    m_driver->expect(answerMessage(&report));
    m_window->ui->action_save->trigger();

    const QString shownName = QDir::toNativeSeparators(m_dir->filePath(fileName));
    QVERIFY2(report.detailed.contains(shownName + reason), qPrintable(report.detailed));
    QVERIFY(!report.detailed.contains(QLatin1Char('\x1b')));
    QCOMPARE(report.detailed.count(QLatin1Char('\n')), 0); // one line: the one failure
    QCOMPARE(readFile(kept), QByteArray("int keep;"));
    const QString goodOutput = target + QStringLiteral("/good.c");
    QCOMPARE(readFile(goodOutput), engineBytes(good, CArray, TrueColor, goodOutput));
}

void TestMainWindow::reportsNameCollision()
{
    const QString png = makeImage(QStringLiteral("logo.png"), TestImages::photo(10, 10, 1));
    const QString jpg =
        makeImage(QStringLiteral("logo.jpg"),
                  TestImages::photo(12, 8, 2).convertToFormat(QImage::Format_RGB32));
    openFiles({png, jpg});
    const QString target = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(target));
    m_driver->expect(chooseDirectory(target));
    MessageSeen report;
    m_driver->expect(answerMessage(&report));
    m_window->ui->action_save->trigger();

    // The later source wins, and the report names both.
    const QString out = target + QStringLiteral("/logo.c");
    QCOMPARE(readFile(out), engineBytes(jpg, CArray, TrueColor, out));
    QVERIFY(report.detailed.contains(QDir::toNativeSeparators(png)));
    QVERIFY(report.detailed.contains(QDir::toNativeSeparators(jpg)));
    QVERIFY2(report.text.contains(QStringLiteral("2 个文件中有 1 个未保存")),
             qPrintable(report.text));
}

void TestMainWindow::cancelLongBatch()
{
    QStringList sources;
    for (int i = 0; i < 8; ++i)
        sources << makeImage(QStringLiteral("many/p%1.png").arg(i), TestImages::photo(300, 200, i));
    openFiles(sources);
    m_window->ui->combo_color_format->setCurrentIndex(TrueColorAlpha);
    // Show the progress dialog at once instead of after a second.
    m_window->progressDelay = 0;

    const QString target = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(target));
    m_driver->expect(chooseDirectory(target));
    int labelledCount = -1;
    m_driver->expect([&](QWidget *dialog) {
        auto *progress = qobject_cast<QProgressDialog *>(dialog);
        QVERIFY(progress);
        labelledCount = progress->maximum();
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
    });
    MessageSeen report;
    m_driver->expect(answerMessage(&report));
    m_window->ui->action_save->trigger();

    QCOMPARE(labelledCount, 8);
    const QStringList written = entries(target);
    QVERIFY2(written.size() < 8, qPrintable(written.join(QLatin1Char(' '))));
    QVERIFY2(report.text.contains(
                 QStringLiteral("保存已取消，其余 %1 个文件未保存").arg(8 - written.size())),
             qPrintable(report.text));
    // Whatever was written is complete.
    for (const QString &name : written) {
        const QString source = m_dir->filePath(QStringLiteral("many/") + QFileInfo(name).baseName()
                                               + QStringLiteral(".png"));
        const QString out = target + QLatin1Char('/') + name;
        QCOMPARE(readFile(out), engineBytes(source, CArray, TrueColorAlpha, out));
    }
}

void TestMainWindow::emptyBatchWritesNothing()
{
    openFiles({makeImage(QStringLiteral("a.png"), TestImages::photo(4, 4))});
    QMimeData mime;
    QDropEvent drop(QPointF(10, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    dropOn(m_window.data(), &drop);
    QVERIFY(m_window->imageFiles.isEmpty());

    const QString target = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(target));
    m_driver->expect(chooseDirectory(target));
    m_window->ui->action_save->trigger();
    QVERIFY(entries(target).isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
