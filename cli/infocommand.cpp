#include "infocommand.h"

#include "infoanimation.h"
#include "infooptions.h"

#include <devicemodel.h>
#include <filepath.h>
#include <outputfile.h>

#include <QBuffer>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using namespace Convert;

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// "RRGGBB", with or without '#' or "0x" before it.
bool parseColour(QString text, QRgb *colour)
{
    if (text.startsWith(QLatin1Char('#')))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.remove(0, 2);
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || text.size() != 6)
        return false;
    *colour = value;
    return true;
}

// The file name part of a path, as given.
QString fileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

// A file name as JSON gives it: the name exactly, as a string, which JSON
// escapes as it must. A name that is not UTF-8 cannot be a JSON string as
// it is; it gets its bytes in hex beside it ("fileBytes"), so that a
// script can still find the file.
void insertName(QJsonObject *object, const QString &key, const QString &path)
{
    const QByteArray bytes = encodeFileName(path);
    const QString text = QString::fromUtf8(bytes);
    object->insert(key, text);
    if (text.toUtf8() != bytes)
        object->insert(key + QStringLiteral("Bytes"), QString::fromLatin1(bytes.toHex()));
}

QString sourceKind(const LvglImageInfo &info)
{
    return info.fromC ? QStringLiteral("C array") : QStringLiteral(".bin");
}

QString depthText(const LvglImageInfo &info)
{
    return QStringLiteral("LV_COLOR_DEPTH %1%2")
        .arg(info.depth)
        .arg(info.swap ? QStringLiteral(" with LV_COLOR_16_SWAP") : QString());
}

} // namespace

void insertFileName(QJsonObject *object, const QString &key, const QString &path)
{
    insertName(object, key, path);
}

int Inspect::run(const QStringList &arguments)
{
    Inspect inspect;
    const int status = inspect.parse(arguments);
    if (status != Proceed)
        return status;
    return inspect.inspectAll();
}

int Inspect::parse(const QStringList &arguments)
{
    const InspectOptions options;
    const QCommandLineOption &json = options.json;
    const QCommandLineOption &png = options.png;
    const QCommandLineOption &frame = options.frame;
    const QCommandLineOption &depth = options.depth;
    const QCommandLineOption &swap = options.swap;
    const QCommandLineOption &chromaKey = options.chromaKey;
    const QCommandLineOption &recolor = options.recolor;
    const QCommandLineOption &background = options.background;
    const QCommandLineOption &lvgl = options.lvgl;
    const QCommandLineOption &help = options.help;
    QCommandLineParser parser;
    parser.setApplicationDescription(InspectOptions::description());
    parser.addOptions(options.listed());
    parser.addPositionalArgument(QStringLiteral("FILE"), InspectOptions::filesDescription(),
                                 QStringLiteral("FILE..."));

    const auto usage = [](const QString &error) {
        print(stderr,
              QStringLiteral("brindleforge-cli: ") + escapeControls(error)
                  + QStringLiteral("\nTry 'brindleforge-cli inspect --help' for more "
                                   "information.\n"));
        return UsageError;
    };

    // "inspect" stands where the parser expects the program's name.
    if (!parser.parse(arguments.mid(1)))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.remove(0, text.indexOf(QLatin1Char('\n')) + 1);
        print(stdout,
              tr("Usage: brindleforge-cli inspect [options] FILE...\n") + text
                  + InspectOptions::detailsText());
        return AllConsistent;
    }
    for (const QCommandLineOption *option :
         {&png, &frame, &depth, &chromaKey, &recolor, &background, &lvgl, &options.entry,
          &options.lvConf, &options.lvVersion}) {
        if (parser.values(*option).size() > 1)
            return usage(tr("--%1 is given more than once").arg(option->names().constLast()));
    }

    if (parser.isSet(depth)) {
        const QString value = parser.value(depth);
        if (value != QLatin1String("8") && value != QLatin1String("16")
            && value != QLatin1String("32"))
            return usage(tr("--depth takes 8, 16 or 32, not '%1'").arg(value));
        m_device.depth = value.toInt();
    }
    m_device.swap = parser.isSet(swap);
    if (m_device.swap && m_device.depth != 16)
        return usage(tr("--swap applies to --depth 16"));
    const struct
    {
        const QCommandLineOption *option;
        QRgb *colour;
    } colours[] = {{&chromaKey, &m_device.chromaKey},
                   {&recolor, &m_device.recolor},
                   {&background, &m_device.background}};
    for (const auto &c : colours) {
        if (!parser.isSet(*c.option))
            continue;
        const QString value = parser.value(*c.option);
        if (!parseColour(value, c.colour))
            return usage(tr("--%1 takes a colour as RRGGBB (hex), not '%2'")
                             .arg(c.option->names().constFirst(), value));
    }
    m_device.hasBackground = parser.isSet(background);
    if (parser.isSet(lvgl)) {
        const QString value = parser.value(lvgl);
        if (value != QLatin1String("8") && value != QLatin1String("9"))
            return usage(tr("--lvgl takes 8 or 9, not '%1'").arg(value));
        m_version = value == QLatin1String("8") ? LvglVersion::V8 : LvglVersion::V9;
    }
    m_json = parser.isSet(json);
    m_entry = parser.value(options.entry);
    if (parser.isSet(options.entry) && m_entry.isEmpty())
        return usage(tr("--entry needs the name of a pack's image"));
    // The device's configuration; without a version for it, each file's own.
    if (parser.isSet(options.lvConf)) {
        auto model = std::make_shared<DeviceModel>();
        QString error;
        const int major = m_version == LvglVersion::V8 ? 8 : m_version == LvglVersion::V9 ? 9 : 0;
        if (!model->load(parser.value(options.lvConf), parser.value(options.lvVersion), major, true,
                         &error))
            return usage(tr("--lv-conf: %1").arg(error));
        m_deviceModel = model;
    } else if (parser.isSet(options.lvVersion)) {
        return usage(tr("--lv-version goes with --lv-conf"));
    }
    if (parser.isSet(frame)) {
        bool ok = false;
        const QString value = parser.value(frame);
        m_frame = value.toInt(&ok);
        if (!ok || m_frame < 0)
            return usage(tr("--frame takes a frame number from 0, not '%1'").arg(value));
        if (!parser.isSet(png))
            return usage(tr("--frame chooses the frame --png writes; give --png too"));
    }

    m_files = parser.positionalArguments();
    if (m_files.isEmpty())
        return usage(tr("no file given"));
    if (m_files.contains(QString()))
        return usage(tr("a file name is empty"));

    if (parser.isSet(png)) {
        m_png = parser.value(png);
        if (m_png.isEmpty())
            return usage(tr("the --png path is empty"));
        if (m_png == OutputFile::standardOutput()) {
            // Standard output then carries the PNG alone.
            if (m_files.size() > 1)
                return usage(tr("--png - writes one PNG to standard output; it takes one file"));
            if (m_json)
                return usage(tr("--png - and --json would both write to standard output"));
            return Proceed;
        }
        const FileKind kind = fileStatus(m_png).kind;
        m_pngFolder =
            m_files.size() > 1 || kind == FileKind::Directory || m_png.endsWith(QLatin1Char('/'));
        if (m_pngFolder && kind != FileKind::Directory && kind != FileKind::Missing)
            return usage(tr("--png: '%1' is not a folder (with several files, the previews go "
                            "into one)")
                             .arg(displayPath(m_png)));
        // Two previews of one name, or a preview over a file inspected.
        QHash<QString, QString> targets;
        QHash<QString, QString> inputs;
        for (const QString &file : qAsConst(m_files))
            inputs.insert(pathIdentity(file), file);
        for (const QString &file : qAsConst(m_files)) {
            const QString target = previewPath(file);
            const QString identity = pathIdentity(target);
            if (targets.contains(identity) && targets.value(identity) != file)
                return usage(tr("--png: %1 and %2 would both write %3")
                                 .arg(displayPath(targets.value(identity)), displayPath(file),
                                      displayPath(target)));
            if (inputs.contains(identity))
                return usage(tr("--png: the preview %1 would replace the file inspected")
                                 .arg(displayPath(target)));
            targets.insert(identity, file);
        }
    }
    return Proceed;
}

QString Inspect::previewPath(const QString &file) const
{
    if (!m_pngFolder)
        return m_png;
    QString folder = m_png;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QLatin1Char('/') + fileNameOf(file) + QStringLiteral(".png");
}

void Inspect::reportFailure(const QString &file, const QString &reason)
{
    ++m_failures;
    print(stderr,
          QStringLiteral("brindleforge-cli: ") + displayPath(file) + QStringLiteral(": ")
              + escapeControls(reason) + QLatin1Char('\n'));
}

bool Inspect::writePreview(const QString &file, const QImage &image, QString *path)
{
    *path = previewPath(file);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        reportFailure(file, tr("the preview cannot be made (%1)").arg(writer.errorString()));
        return false;
    }
    OutputFile output(*path);
    ConvertResult result = output.create();
    if (result.ok() && output.write(bytes) != bytes.size())
        result = ConvertResult::writeFailed(*path, output.errorString());
    if (result.ok())
        result = output.commit();
    if (!result.ok()) {
        output.cancel();
        reportFailure(file, tr("the preview %1").arg(result.message()));
        return false;
    }
    return true;
}

int Inspect::inspectAll()
{
    if (!m_png.isEmpty() && m_pngFolder) {
        QString error;
        if (!makePath(m_png, &error)) {
            reportFailure(m_png, error);
            return SomeFailed;
        }
    }
    QJsonArray files;
    for (const QString &file : qAsConst(m_files)) {
        if (startsAsPack(file)) {
            inspectPack(file, &files);
            continue;
        }
        if (!m_entry.isEmpty()) {
            reportFailure(file, tr("--entry names an image of a pack; this is not a pack"));
            continue;
        }
        ConvertResult read;
        const LvglDecodeResult result = readLvglImage(file, m_device, m_version, &read);
        if (!read.ok()) {
            reportFailure(file, read.reason());
            if (m_json) {
                QJsonObject object {{QStringLiteral("readable"), false},
                                    {QStringLiteral("consistent"), false},
                                    {QStringLiteral("error"), read.reason()}};
                insertName(&object, QStringLiteral("file"), file);
                files.append(object);
            }
            continue;
        }
        // --lv-conf: whether the configuration draws the file, and what it
        // costs there.
        QString refusal;
        QStringList deviceWarnings;
        if (m_deviceModel && result.ok()) {
            const DeviceImage image = DeviceImage::of(result.info);
            refusal = m_deviceModel->refusal(image);
            deviceWarnings = m_deviceModel->warnings(image);
        }
        QString preview;
        QString noFrame;
        const QImage shown =
            m_png.isEmpty() || !result.ok() ? QImage() : chosenFrame(result, &noFrame);
        if (!result.ok())
            reportFailure(file, result.error);
        else if (!noFrame.isEmpty())
            reportFailure(file, noFrame);
        else if (!m_png.isEmpty() && !writePreview(file, shown, &preview))
            preview.clear();
        if (!refusal.isEmpty())
            reportFailure(file, refusal);
        if (m_json) {
            QJsonObject object = facts(result);
            insertName(&object, QStringLiteral("file"), file);
            if (!preview.isEmpty())
                insertName(&object, QStringLiteral("preview"), preview);
            if (m_deviceModel && result.ok())
                object.insert(QStringLiteral("device"),
                              QJsonObject {{QStringLiteral("draws"), refusal.isEmpty()},
                                           {QStringLiteral("reason"),
                                            refusal.isEmpty() ? QJsonValue() : QJsonValue(refusal)},
                                           {QStringLiteral("warnings"),
                                            QJsonArray::fromStringList(deviceWarnings)}});
            files.append(object);
        } else if (m_png != OutputFile::standardOutput()) {
            QString text = describe(file, result);
            if (m_deviceModel && result.ok()) {
                text += QStringLiteral("  device:      ")
                    + escapeControls(refusal.isEmpty()
                                         ? tr("drawn by %1").arg(m_deviceModel->conf().name())
                                         : tr("not drawn: %1").arg(refusal))
                    + QLatin1Char('\n');
                for (const QString &warning : qAsConst(deviceWarnings))
                    text += QStringLiteral("  device:      ") + escapeControls(warning)
                        + QLatin1Char('\n');
            }
            print(stdout, text);
        }
    }
    if (m_json) {
        const QJsonObject root {{QStringLiteral("files"), files}};
        print(stdout, QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented)));
    }
    return m_failures ? SomeFailed : AllConsistent;
}

QImage Inspect::chosenFrame(const LvglDecodeResult &result, QString *why) const
{
    if (m_frame <= 0)
        return result.image;
    const int count = result.frames.size();
    if (count == 0) {
        *why = tr("--frame %1: the file holds a single image, frame 0").arg(m_frame);
        return QImage();
    }
    if (m_frame >= count) {
        *why = tr("--frame %1: the animation has %2 frames, 0 to %3")
                   .arg(m_frame)
                   .arg(count)
                   .arg(count - 1);
        return QImage();
    }
    return result.frames.at(m_frame);
}

QString Inspect::describe(const QString &file, const LvglDecodeResult &result)
{
    const LvglImageInfo &i = result.info;
    QString text = displayPath(file) + QStringLiteral(":\n");
    const auto line = [&text](const char *key, const QString &value) {
        text += QStringLiteral("  ") + QString::fromLatin1(key).leftJustified(13)
            + escapeControls(value) + QLatin1Char('\n');
    };
    if (i.version)
        line("version:", QStringLiteral("LVGL v%1, %2").arg(i.version).arg(sourceKind(i)));
    if (i.cf >= 0)
        line("format:",
             i.formatName.isEmpty() ? QStringLiteral("unknown (cf %1)").arg(i.cf)
                                    : QStringLiteral("%1 (cf %2)").arg(i.formatName).arg(i.cf));
    if (!i.formatName.isEmpty()) {
        line("size:", QStringLiteral("%1 x %2").arg(i.width).arg(i.height));
        if (i.stride > 0)
            line("stride:", QStringLiteral("%1 bytes").arg(i.stride));
        line("flags:",
             i.version == 9 ? (i.flagNames.isEmpty() ? QStringLiteral("none")
                                                     : i.flagNames.join(QLatin1String(" | ")))
                            : (i.flags ? QStringLiteral("reserved bits 0x%1").arg(i.flags, 0, 16)
                                       : QStringLiteral("none")));
        QStringList data;
        if (i.fromC)
            data << (i.dataSize >= 0 ? QStringLiteral(".data_size %1").arg(i.dataSize)
                                     : QStringLiteral("no .data_size"));
        data << QStringLiteral("%1 bytes present").arg(i.bytesPresent);
        // A compressed image's expanded size is on the compression line.
        if (i.bytesNeeded >= 0 && i.compression.isEmpty())
            data << QStringLiteral("%1 needed").arg(i.bytesNeeded);
        line("data:", data.join(QLatin1String(", ")));
        if (i.depth)
            line("shown at:", depthText(i));
    }
    if (i.fromC && !i.formatName.isEmpty())
        line("sections:",
             i.depthSections.isEmpty() ? QStringLiteral("none (the same data at every depth)")
                                       : i.depthSections.join(QLatin1String(", ")));
    if (i.paletteUsed >= 0)
        line("palette:",
             QStringLiteral("%1 of %2 entries used").arg(i.paletteUsed).arg(i.paletteStored));
    if (!i.compression.isEmpty()) {
        const double ratio =
            i.compressedBytes > 0 ? double(i.uncompressedBytes) / double(i.compressedBytes) : 0.0;
        line("compression:",
             QStringLiteral("%1, %2 bytes for %3 (ratio %4)")
                 .arg(i.compression)
                 .arg(i.compressedBytes)
                 .arg(i.uncompressedBytes)
                 .arg(ratio, 0, 'f', 2));
    }
    if (!i.animation.kind.isEmpty())
        describeAnimation(i.animation, &text);
    line("consistent:",
         result.ok() ? QStringLiteral("yes") : QStringLiteral("no: ") + result.error);
    for (const QString &warning : i.warnings)
        line("warning:", warning);
    return text;
}

QJsonObject Inspect::facts(const LvglDecodeResult &result)
{
    const LvglImageInfo &i = result.info;
    QJsonObject o;
    o.insert(QStringLiteral("readable"), true);
    o.insert(QStringLiteral("consistent"), result.ok());
    if (!result.ok())
        o.insert(QStringLiteral("error"), result.error);
    o.insert(QStringLiteral("version"), i.version ? QJsonValue(i.version) : QJsonValue());
    o.insert(QStringLiteral("source"), i.fromC ? QStringLiteral("c") : QStringLiteral("bin"));
    o.insert(QStringLiteral("cf"), i.cf >= 0 ? QJsonValue(i.cf) : QJsonValue());
    o.insert(QStringLiteral("format"),
             i.formatName.isEmpty() ? QJsonValue() : QJsonValue(i.formatName));
    o.insert(QStringLiteral("width"), i.width);
    o.insert(QStringLiteral("height"), i.height);
    o.insert(QStringLiteral("stride"), i.stride);
    o.insert(QStringLiteral("flags"), i.flags);
    o.insert(QStringLiteral("flagNames"), QJsonArray::fromStringList(i.flagNames));
    o.insert(QStringLiteral("dataSize"),
             i.dataSize >= 0 ? QJsonValue(double(i.dataSize)) : QJsonValue());
    o.insert(QStringLiteral("bytesPresent"), double(i.bytesPresent));
    o.insert(QStringLiteral("bytesNeeded"),
             i.bytesNeeded >= 0 ? QJsonValue(double(i.bytesNeeded)) : QJsonValue());
    o.insert(QStringLiteral("depth"), i.depth ? QJsonValue(i.depth) : QJsonValue());
    o.insert(QStringLiteral("swap"), i.swap);
    if (i.madeForDepth)
        o.insert(QStringLiteral("madeForDepth"), i.madeForDepth);
    if (i.fromC && !i.formatName.isEmpty())
        o.insert(QStringLiteral("depthSections"), QJsonArray::fromStringList(i.depthSections));
    if (i.paletteUsed >= 0)
        o.insert(QStringLiteral("palette"),
                 QJsonObject {{QStringLiteral("used"), i.paletteUsed},
                              {QStringLiteral("stored"), i.paletteStored}});
    if (!i.compression.isEmpty()) {
        o.insert(QStringLiteral("compression"),
                 QJsonObject {{QStringLiteral("method"), i.compression},
                              {QStringLiteral("compressedBytes"), double(i.compressedBytes)},
                              {QStringLiteral("uncompressedBytes"), double(i.uncompressedBytes)},
                              {QStringLiteral("ratio"),
                               i.compressedBytes > 0
                                   ? double(i.uncompressedBytes) / double(i.compressedBytes)
                                   : 0.0}});
    }
    if (!i.animation.kind.isEmpty())
        o.insert(QStringLiteral("animation"), animationFacts(i.animation));
    o.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(i.warnings));
    return o;
}
