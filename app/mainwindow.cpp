#include "mainwindow.h"

#include "mainwindowui.h"
#include "savereport.h"

#include <aboutdlg.h>
#include <imagekinds.h>
#include <imagesource.h>
#include <lvgl8cframe.h>
#include <notewin.h>

#include <buildconfig.h>

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QUrl>

using namespace Convert;

namespace {

// Warnings list at most this many failures in the box itself; the full
// list is in the box's details, which scroll.
constexpr int ReportLinesShown = 8;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new MainWindowUi)
{
    ui->setupUi(this);

    setAcceptDrops(true);
    ui->label_img->installEventFilter(this);
    const QString url = QString::fromUtf8(BRINDLEFORGE_UPDATE_URL);
    ui->label_link->setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), tr("看看是否有新版本")));
    saveDir = QStringLiteral("./");
    imageFiles.clear();
    imageOpened = false;
}

MainWindow::~MainWindow()
{
    delete ui;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->label_img) {
        if (event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            on_action_save_triggered();
            return true;
        }
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    // Only image files by name; one other file refuses the whole drag.
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        if (!Convert::imageSuffixes(true).contains(
                QFileInfo(url.toLocalFile()).suffix().toLower())) {
            return;
        }
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    imageFiles.clear();
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls)
        imageFiles.append(url.toLocalFile());
    if (!imageFiles.isEmpty())
        showPreview(imageFiles.first());
    // The event stays unaccepted: the drag source is told nothing was done
    // with its files, so a "move" never deletes them.
}

void MainWindow::on_action_open_triggered()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, tr("打开图片"), saveDir,
        tr("图片文件 (%1)")
            .arg(QLatin1String("*.") + Convert::imageSuffixes(true).join(QLatin1String(";*."))));
    if (files.isEmpty())
        return;
    imageFiles.clear();
    imageFiles = files;
    showPreview(imageFiles.first());
}

void MainWindow::on_action_close_triggered()
{
    close();
}

void MainWindow::on_action_about_triggered()
{
    AboutDlg dialog(this);
    dialog.exec();
}

void MainWindow::on_action_note_triggered()
{
    NoteWin dialog(this);
    dialog.exec();
}

void MainWindow::showPreview(const QString &path)
{
    const int colorFormat = ui->combo_color_format->currentIndex();
    saveDir = QFileInfo(path).absolutePath();
    imageOpened = true;

    // The file is decoded once, within the decoding budget but whatever the
    // output's size limit: an image too large to convert still previews,
    // and the save reports it. A picture beyond the budget is not decoded
    // at all; its size comes from the header. Anything that is not a
    // regular file is never opened. Only the kinds the window lists are
    // read, whatever else the command line takes.
    SourceImage source;
    DecodeRequest request;
    request.windowKindsOnly = true;
    const ConvertResult read = readSourceImage(path, request, &source);
    previewImage = read.ok() ? source.image : QImage();
    previewPixmap = QPixmap::fromImage(previewImage);

    // With "Indexed 256 colors" the preview shows the same reduction to 256
    // colours that the saved array gets.
    const QPixmap shown = colorFormat == Indexed256
        ? QPixmap::fromImage(previewImage.convertToFormat(QImage::Format_Indexed8))
        : previewPixmap;
    ui->label_img->resize(shown.size());
    ui->label_img->setPixmap(shown);
    const QSize size = read.status() == ConvertResult::OverBudget ? read.imageSize() : shown.size();
    ui->label_size->setText(QString::asprintf("%d * %d", size.width(), size.height()));

    // Let the scroll area scroll to every part of a preview larger than it.
    const QRect used = ui->scrollAreaWidgetContents->childrenRect();
    ui->scrollAreaWidgetContents->setMinimumSize(used.right() + 1, used.bottom() + 1);
}

void MainWindow::on_action_save_triggered()
{
    if (!imageOpened) {
        QMessageBox::information(this, tr("提示"), tr("未打开图片"), QMessageBox::Ok,
                                 QMessageBox::NoButton);
        return;
    }

    const auto output = OutputFormat(ui->combo_output_format->currentIndex());
    const auto color = ColorFormat(ui->combo_color_format->currentIndex());
    const QString extension = outputExtension(output);
    const QString filter = output == CArray ? tr("C文件 (*.c)") : tr("bin文件 (*.bin)");

    QVector<SaveJob> jobs;
    if (imageFiles.size() == 1) {
        const QString source = imageFiles.first();
        const QString suggested =
            saveDir + QLatin1Char('/') + QFileInfo(source).baseName() + extension;
        const QString target =
            QFileDialog::getSaveFileName(this, tr("保存图片"), suggested, filter);
        if (target.isEmpty())
            return;
        jobs.append({source, target});
    } else {
        const QString directory = QFileDialog::getExistingDirectory(this, tr("保存目录"), saveDir,
                                                                    QFileDialog::ShowDirsOnly);
        if (directory.isEmpty())
            return;
        for (const QString &source : qAsConst(imageFiles))
            jobs.append({source, batchOutputPath(directory, source, output)});
    }
    save(jobs, output, color);
}

// Converts the jobs in order, each image decoded from its file just before
// it is written and released right after. A batch that takes longer than
// progressDelay shows a progress dialog whose Cancel stops before the next
// image. Anything not written ends in one warning; a complete save is
// silent.
void MainWindow::save(const QVector<SaveJob> &jobs, OutputFormat output, ColorFormat color)
{
    SaveReport report(jobs.size());
    // Output file -> the job that last wrote it. The keys are taken before
    // anything is written: a file's identity changes when a new one is
    // renamed over it.
    QHash<QString, int> writtenBy;
    QStringList outputKeys;
    for (const SaveJob &job : jobs)
        outputKeys << pathIdentity(job.output);

    QScopedPointer<QProgressDialog> progress;
    if (jobs.size() > 1) {
        progress.reset(new QProgressDialog(this));
        progress->setWindowTitle(tr("保存"));
        progress->setCancelButtonText(tr("取消"));
        progress->setRange(0, jobs.size());
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(progressDelay);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->setValue(0);
    }

    for (int i = 0; i < jobs.size(); ++i) {
        if (progress && progress->wasCanceled()) {
            QStringList skipped;
            for (int j = i; j < jobs.size(); ++j)
                skipped << jobs.at(j).source;
            report.addCancelled(skipped);
            break;
        }
        const SaveJob &job = jobs.at(i);
        if (progress) {
            progress->setLabelText(tr("正在保存第 %1 个，共 %2 个：%3")
                                       .arg(QString::number(i + 1), QString::number(jobs.size()),
                                            escapeControls(QFileInfo(job.source).fileName())));
        }

        const ConvertResult result = Convert::convertFile(job.source, output, color, job.output);
        if (result.ok()) {
            const QString &key = outputKeys.at(i);
            const auto earlier = writtenBy.constFind(key);
            if (earlier != writtenBy.constEnd())
                report.addReplaced(jobs.at(*earlier).source, job.source, job.output);
            writtenBy.insert(key, i);
        } else {
            report.addFailure(job.source, result);
        }

        if (progress)
            progress->setValue(i + 1);
    }
    if (progress)
        progress->hide();

    if (report.isEmpty())
        return;
    const QStringList lines = report.lines();
    QMessageBox box(QMessageBox::Warning, tr("保存出错"), report.summary(), QMessageBox::Ok, this);
    QStringList shown = lines.mid(0, ReportLinesShown);
    if (lines.size() > ReportLinesShown)
        shown << tr("……（共 %1 条，见详细信息）").arg(QString::number(lines.size()));
    box.setInformativeText(shown.join(QLatin1Char('\n')));
    box.setDetailedText(lines.join(QLatin1Char('\n')));
    box.exec();
}

ConvertResult MainWindow::convertFile(int outputFormat, int colorFormat, QImage image,
                                      QString outputPath)
{
    return convertImage(image, OutputFormat(outputFormat), ColorFormat(colorFormat), outputPath);
}

ConvertResult MainWindow::writeTrueColorC(QImage image, QString outputPath, bool chromaKeyed)
{
    return convertImage(image, CArray, chromaKeyed ? TrueColorChromaKeyed : TrueColor, outputPath);
}

ConvertResult MainWindow::writeTrueColorAlphaC(QImage image, QString outputPath)
{
    return convertImage(image, CArray, TrueColorAlpha, outputPath);
}

ConvertResult MainWindow::writeIndexed8C(QImage image, QString outputPath)
{
    return convertImage(image, CArray, Indexed256, outputPath);
}

ConvertResult MainWindow::writeRgb332Bin(QImage image, QString outputPath)
{
    return convertImage(image, BinaryRgb332, TrueColor, outputPath);
}

ConvertResult MainWindow::writeRgb565Bin(QImage image, QString outputPath)
{
    return convertImage(image, BinaryRgb565, TrueColor, outputPath);
}

ConvertResult MainWindow::writeRgb565SwapBin(QImage image, QString outputPath)
{
    return convertImage(image, BinaryRgb565Swap, TrueColor, outputPath);
}

ConvertResult MainWindow::writeRgb888Bin(QImage image, QString outputPath)
{
    return convertImage(image, BinaryRgb888, TrueColor, outputPath);
}

void MainWindow::appendBanner(TextSink &text)
{
    CFrame::appendBanner(text);
}

void MainWindow::appendIncludes(TextSink &text)
{
    Lvgl8::appendIncludes(text);
}
