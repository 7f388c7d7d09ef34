#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <converter.h>

#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QStringList>

class MainWindowUi;

namespace Convert {
class TextSink;
}

// The program's only window. It holds the batch of images the user opened
// or dropped, previews the first of them, and saves the batch through the
// conversion engine when the user chooses "保存" or clicks the preview.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The conversion entry points, kept on the window for callers that
    // drive it; each hands straight over to the engine.
    static Convert::ConvertResult convertFile(int outputFormat, int colorFormat, QImage image,
                                              QString outputPath);
    static Convert::ConvertResult writeTrueColorC(QImage image, QString outputPath,
                                                  bool chromaKeyed);
    static Convert::ConvertResult writeTrueColorAlphaC(QImage image, QString outputPath);
    static Convert::ConvertResult writeIndexed8C(QImage image, QString outputPath);
    static Convert::ConvertResult writeRgb332Bin(QImage image, QString outputPath);
    static Convert::ConvertResult writeRgb565Bin(QImage image, QString outputPath);
    static Convert::ConvertResult writeRgb565SwapBin(QImage image, QString outputPath);
    static Convert::ConvertResult writeRgb888Bin(QImage image, QString outputPath);
    static void appendBanner(Convert::TextSink &text);
    static void appendIncludes(Convert::TextSink &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void on_action_open_triggered();
    void on_action_close_triggered();
    void on_action_about_triggered();
    void on_action_note_triggered();
    void on_action_save_triggered();

private:
    friend class TestMainWindow;

    struct SaveJob
    {
        QString source;
        QString output;
    };

    void showPreview(const QString &path);
    void save(const QVector<SaveJob> &jobs, Convert::OutputFormat output,
              Convert::ColorFormat color);

    MainWindowUi *ui;
    QImage previewImage;
    QPixmap previewPixmap;
    QString saveDir;
    QStringList imageFiles;
    bool imageOpened = false;
    // How long a batch save runs before its progress dialog appears.
    int progressDelay = 1000;

    Q_DISABLE_COPY(MainWindow)
};

#endif // MAINWINDOW_H
