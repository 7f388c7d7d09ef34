#ifndef INFOCOMMAND_H
#define INFOCOMMAND_H

#include <lvgldecoder.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

// A file name into a JSON object, as inspect gives every name (the bytes in
// hex beside a name that is not UTF-8).
void insertFileName(QJsonObject *object, const QString &key, const QString &path);
#include <memory>

namespace Convert {
class DeviceModel;
}

// brindleforge-cli inspect FILE...: what an LVGL image file (.bin or C)
// holds, whether it is consistent, and, with --png, what the device will
// show for it. Exit status 0 when every file is consistent (and every
// preview written), 1 when some file is not or cannot be read (one line on
// stderr each), 2 on a usage error.
class Inspect
{
    Q_DECLARE_TR_FUNCTIONS(Inspect)

public:
    // arguments: the program, "inspect", then the options and files.
    static int run(const QStringList &arguments);

private:
    Inspect() = default;
    Q_DISABLE_COPY(Inspect)

    enum ExitCode { AllConsistent = 0, SomeFailed = 1, UsageError = 2 };

    // An exit code, or Proceed when the files are to be inspected.
    static constexpr int Proceed = -1;
    int parse(const QStringList &arguments);
    int inspectAll();
    // Where the preview of file goes.
    QString previewPath(const QString &file) const;
    bool writePreview(const QString &file, const QImage &image, QString *path);
    void reportFailure(const QString &file, const QString &reason);
    static QString describe(const QString &file, const Convert::LvglDecodeResult &result);
    static QJsonObject facts(const Convert::LvglDecodeResult &result);
    // Asset packs (infopack.cpp): whether file starts with "BFPK", and
    // its report, added to files with --json.
    static bool startsAsPack(const QString &file);
    void inspectPack(const QString &file, QJsonArray *files);
    // The picture --png writes: the first frame, or the one --frame asks
    // for; null with *why when there is no such frame.
    QImage chosenFrame(const Convert::LvglDecodeResult &result, QString *why) const;

    QStringList m_files;
    Convert::DeviceSettings m_device;
    Convert::LvglVersion m_version = Convert::LvglVersion::Detect;
    bool m_json = false;
    QString m_png;
    int m_frame = -1; // --frame: the frame --png writes; -1 for the first
    bool m_pngFolder = false; // m_png names a folder, each preview named after its file
    int m_failures = 0;
    QString m_entry; // --entry: the pack entry to render
    // --lv-conf: the configuration each file is judged against.
    std::shared_ptr<const Convert::DeviceModel> m_deviceModel;
};

#endif // INFOCOMMAND_H
