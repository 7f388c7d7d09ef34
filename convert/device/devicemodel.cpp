#include "devicemodel.h"

#include <filepath.h>
#include <lvgldecoder.h>
#include <outputplan.h>

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace Convert {

namespace {

// Names only one major version's template defines, for telling them apart
// when nothing else says which it is.
const char *const v8Names[] = {"LV_COLOR_CHROMA_KEY", "LV_USE_PNG", "LV_USE_SJPG"};
const char *const v9Names[] = {"LV_DRAW_BUF_STRIDE_ALIGN",
                               "LV_BIN_DECODER_RAM_LOAD",
                               "LV_USE_LODEPNG",
                               "LV_USE_LIBPNG",
                               "LV_USE_TJPGD",
                               "LV_USE_LIBJPEG_TURBO",
                               "LV_USE_LZ4_INTERNAL",
                               "LV_USE_LZ4_EXTERNAL"};
const char SwitchPrefix[] = "LV_DRAW_SW_SUPPORT_";

// Every setting the rules read: load() reads each once.
const char *const ruleSettings[] = {
    "LV_COLOR_DEPTH",
    "LV_COLOR_16_SWAP",
    "LV_COLOR_CHROMA_KEY",
    "LV_DRAW_BUF_STRIDE_ALIGN",
    "LV_DRAW_SW_SUPPORT_RGB565",
    "LV_DRAW_SW_SUPPORT_RGB565_SWAPPED",
    "LV_DRAW_SW_SUPPORT_RGB565A8",
    "LV_DRAW_SW_SUPPORT_RGB888",
    "LV_DRAW_SW_SUPPORT_XRGB8888",
    "LV_DRAW_SW_SUPPORT_ARGB8888",
    "LV_DRAW_SW_SUPPORT_ARGB8888_PREMULTIPLIED",
    "LV_DRAW_SW_SUPPORT_L8",
    "LV_DRAW_SW_SUPPORT_AL88",
    "LV_DRAW_SW_SUPPORT_A8",
    "LV_DRAW_SW_SUPPORT_I1",
    "LV_BIN_DECODER_RAM_LOAD",
    "LV_USE_RLE",
    "LV_USE_LZ4",
    "LV_USE_LZ4_INTERNAL",
    "LV_USE_LZ4_EXTERNAL",
    "LV_USE_PNG",
    "LV_USE_SJPG",
    "LV_USE_LODEPNG",
    "LV_USE_LIBPNG",
    "LV_USE_TJPGD",
    "LV_USE_FS_MEMFS",
    "LV_USE_GIF",
};

// The software renderer's switch a v9 format is drawn through, or nullptr
// for one drawn whatever the switches say.
const char *drawSwitch(const Lvgl9::Format &format)
{
    switch (format.layout) {
    case Lvgl9::Layout::Rgb565A8: // drawn as RGB565 through its alpha plane
        return "LV_DRAW_SW_SUPPORT_RGB565";
    case Lvgl9::Layout::Indexed: // expanded to ARGB8888 at load
        return "LV_DRAW_SW_SUPPORT_ARGB8888";
    case Lvgl9::Layout::Alpha: // drawn as a mask
    case Lvgl9::Layout::Argb8565:
    case Lvgl9::Layout::Raw:
        return nullptr;
    case Lvgl9::Layout::L8:
        return "LV_DRAW_SW_SUPPORT_L8";
    case Lvgl9::Layout::Al88:
        return "LV_DRAW_SW_SUPPORT_AL88";
    case Lvgl9::Layout::Rgb888:
        return "LV_DRAW_SW_SUPPORT_RGB888";
    case Lvgl9::Layout::Argb8888:
        return "LV_DRAW_SW_SUPPORT_ARGB8888";
    case Lvgl9::Layout::Xrgb8888:
        return "LV_DRAW_SW_SUPPORT_XRGB8888";
    case Lvgl9::Layout::Argb8888Premultiplied:
        return "LV_DRAW_SW_SUPPORT_ARGB8888_PREMULTIPLIED";
    case Lvgl9::Layout::Rgb565:
        return "LV_DRAW_SW_SUPPORT_RGB565";
    case Lvgl9::Layout::Rgb565Swapped:
        return "LV_DRAW_SW_SUPPORT_RGB565_SWAPPED";
    }
    return nullptr;
}

QByteArray withoutPrefix(const QString &name)
{
    QByteArray bytes = name.toLatin1();
    for (const char *prefix : {"LV_IMG_CF_", "LV_COLOR_FORMAT_"}) {
        if (bytes.startsWith(prefix))
            return bytes.mid(int(std::strlen(prefix)));
    }
    return bytes;
}

int depthNumber(ColorDepth depth)
{
    switch (depth) {
    case ColorDepth::Depth8:
        return 8;
    case ColorDepth::Depth32:
        return 32;
    default:
        return 16;
    }
}

} // namespace

DeviceImage DeviceImage::of(const OutputPlan &plan, QSize size, ImageKind embedded)
{
    DeviceImage image;
    image.lvgl = plan.lvgl();
    image.binary = plan.binary;
    image.embedded = plan.isRaw() ? embedded : ImageKind::Unknown;
    image.width = size.width() > 0 ? size.width() : 0;
    image.height = size.height() > 0 ? size.height() : 0;
    if (const Lvgl8::Format *format = plan.format()) {
        image.format = format->name;
        if (plan.binary && Lvgl8::dependsOnDepth(*format)) {
            image.depth = depthNumber(plan.depth);
            image.swap = plan.depth == ColorDepth::Depth16Swap ? 1 : 0;
        }
    } else if (const Lvgl9::Format *format = plan.format9()) {
        image.format = format->name;
        image.compression = plan.compression;
        if (image.width > 0 && format->layout != Lvgl9::Layout::Raw)
            image.stride = int(Lvgl9::stride(*format, image.width, plan.strideAlign));
    }
    return image;
}

DeviceImage DeviceImage::of(const LvglImageInfo &info)
{
    DeviceImage image;
    image.lvgl = info.version;
    image.format = withoutPrefix(info.formatName);
    image.binary = !info.fromC;
    image.width = info.width;
    image.height = info.height;
    if (info.version == 9) {
        image.stride = info.stride;
        if (info.compression == QLatin1String("RLE"))
            image.compression = Lvgl9::Compression::Rle;
        else if (info.compression == QLatin1String("LZ4"))
            image.compression = Lvgl9::Compression::Lz4;
    } else if (image.binary && info.madeForDepth) {
        image.depth = info.madeForDepth;
    }
    return image;
}

bool DeviceModel::load(const QString &confPath, const QString &versionPath, int lvgl,
                       bool allowUnknown, QString *error)
{
    LvConf conf;
    if (!conf.readFile(confPath)) {
        *error = conf.errorString();
        return false;
    }
    QString path = versionPath;
    if (path.isEmpty()) {
        const QString beside = QFileInfo(confPath).dir().filePath(QStringLiteral("lv_version.h"));
        if (QFileInfo(beside).isFile())
            path = beside;
    }
    LvConf version;
    if (!path.isEmpty() && !version.readFile(path)) {
        *error = version.errorString();
        return false;
    }
    return load(conf, path.isEmpty() ? nullptr : &version, lvgl, allowUnknown, error);
}

bool DeviceModel::load(const LvConf &conf, const LvConf *version, int lvgl, bool allowUnknown,
                       QString *error)
{
    m_conf = conf;
    m_notes.clear();
    m_values.clear();
    for (const char *name : ruleSettings)
        m_values.insert(name, lookUp(name));
    m_versionName.clear();
    m_major = 0;
    m_minor = m_patch = -1;
    qint64 major = 0;
    if (version) {
        m_versionName = version->name();
        if (!version->value("LVGL_VERSION_MAJOR", &major, &m_versionLine)) {
            *error = QStringLiteral("%1: no LVGL_VERSION_MAJOR is defined: is it LVGL's "
                                    "lv_version.h?")
                         .arg(m_versionName);
            return false;
        }
        if (major != 8 && major != 9) {
            *error = QStringLiteral("%1:%2: LVGL_VERSION_MAJOR is %3: only LVGL 8 and 9 are "
                                    "written for")
                         .arg(m_versionName)
                         .arg(m_versionLine)
                         .arg(major);
            return false;
        }
    }
    if (lvgl) {
        m_major = lvgl;
        if (version && major != lvgl)
            m_notes << QStringLiteral("%1:%2: LVGL_VERSION_MAJOR is %3, but --lvgl %4 wins; the "
                                      "release is taken as unknown")
                           .arg(m_versionName)
                           .arg(m_versionLine)
                           .arg(major)
                           .arg(lvgl);
    } else if (version) {
        m_major = int(major);
    } else {
        // The settings only one version's template has.
        QString v8;
        QString v9;
        for (const char *name : v8Names) {
            int line = 0;
            if (v8.isEmpty() && conf.isDefined(name, &line))
                v8 = QStringLiteral("%1 (line %2)").arg(QLatin1String(name)).arg(line);
        }
        for (const char *name : v9Names) {
            int line = 0;
            if (v9.isEmpty() && conf.isDefined(name, &line))
                v9 = QStringLiteral("%1 (line %2)").arg(QLatin1String(name)).arg(line);
        }
        for (const QByteArray &name : conf.names()) {
            int line = 0;
            if (v9.isEmpty() && name.startsWith(SwitchPrefix) && conf.isDefined(name, &line))
                v9 = QStringLiteral("%1 (line %2)").arg(QString::fromLatin1(name)).arg(line);
        }
        if (v8.isEmpty() != v9.isEmpty()) {
            m_major = v8.isEmpty() ? 9 : 8;
            m_notes << QStringLiteral("%1: taken for LVGL %2, which alone defines %3 (no "
                                      "lv_version.h beside it and no --lvgl)")
                           .arg(conf.name())
                           .arg(m_major)
                           .arg(v8.isEmpty() ? v9 : v8);
        } else if (!allowUnknown) {
            *error = QStringLiteral("%1: which LVGL version it configures cannot be told from "
                                    "its settings (%2); give --lvgl 8 or 9, or --lv-version with "
                                    "the library's lv_version.h")
                         .arg(conf.name(),
                              v8.isEmpty() ? QStringLiteral("none is of v8 or v9 alone")
                                           : QStringLiteral("%1 is of v8, %2 of v9").arg(v8, v9));
            return false;
        }
    }
    if (version && m_major == major) {
        qint64 minor = -1;
        qint64 patch = -1;
        if (version->value("LVGL_VERSION_MINOR", &minor) && minor >= 0 && minor < 1000)
            m_minor = int(minor);
        if (version->value("LVGL_VERSION_PATCH", &patch) && patch >= 0 && patch < 1000)
            m_patch = int(patch);
    }
    return true;
}

QString DeviceModel::versionText() const
{
    if (!m_major)
        return QStringLiteral("LVGL of an unknown version");
    QString text = QStringLiteral("LVGL %1").arg(m_major);
    if (m_minor >= 0)
        text += QStringLiteral(".%1").arg(m_minor);
    if (m_minor >= 0 && m_patch >= 0)
        text += QStringLiteral(".%1").arg(m_patch);
    return text;
}

QStringList DeviceModel::notes() const
{
    QStringList notes = m_notes;
    if (m_major && m_minor < 0)
        notes << QStringLiteral("%1: the release of LVGL %2 is unknown, so the rules of the "
                                "newest apply; --lv-version names its lv_version.h")
                     .arg(m_conf.name())
                     .arg(m_major);
    return notes + m_conf.notes();
}

qint64 DeviceModel::defaultOf(const char *name) const
{
    const QByteArray n(name);
    if (n == "LV_COLOR_DEPTH")
        return 16;
    if (n == "LV_COLOR_CHROMA_KEY")
        return Lvgl8::ChromaKey;
    if (n == "LV_DRAW_BUF_STRIDE_ALIGN")
        return 1;
    if (n.startsWith(SwitchPrefix))
        return 1;
    // LV_USE_*, LV_COLOR_16_SWAP and LV_BIN_DECODER_RAM_LOAD are off.
    return 0;
}

DeviceModel::Value DeviceModel::lookUp(const char *name) const
{
    Value found;
    if (qstrcmp(name, "LV_COLOR_CHROMA_KEY") == 0) {
        QRgb colour = 0;
        if (m_conf.colour(name, &colour, &found.line)) {
            found.value = qint64(colour);
            return found;
        }
    } else if (m_conf.value(name, &found.value, &found.line)) {
        return found;
    }
    return {defaultOf(name), 0};
}

qint64 DeviceModel::setting(const char *name) const
{
    const auto it = m_values.constFind(QByteArray::fromRawData(name, int(qstrlen(name))));
    return it != m_values.constEnd() ? it->value : lookUp(name).value;
}

QString DeviceModel::said(const char *name) const
{
    const auto it = m_values.constFind(QByteArray::fromRawData(name, int(qstrlen(name))));
    const Value found = it != m_values.constEnd() ? *it : lookUp(name);
    const qint64 value = found.value;
    const bool colour = qstrcmp(name, "LV_COLOR_CHROMA_KEY") == 0;
    const QString shown = colour ? QStringLiteral("0x%1").arg(value, 6, 16, QLatin1Char('0'))
                                 : QString::number(value);
    const int line = found.line;
    if (line)
        return QStringLiteral("%1:%2: %3 is %4")
            .arg(m_conf.name())
            .arg(line)
            .arg(QLatin1String(name), shown);
    return QStringLiteral("%1 does not set %2 (the library's default is %3)")
        .arg(m_conf.name(), QLatin1String(name), shown);
}

ColorDepth DeviceModel::depth() const
{
    const qint64 depth = setting("LV_COLOR_DEPTH");
    if (depth == 1 || depth == 8)
        return ColorDepth::Depth8;
    if (depth == 32)
        return ColorDepth::Depth32;
    return setting("LV_COLOR_16_SWAP") ? ColorDepth::Depth16Swap : ColorDepth::Depth16;
}

QRgb DeviceModel::chromaKey() const
{
    return QRgb(setting("LV_COLOR_CHROMA_KEY")) & 0xffffff;
}

int DeviceModel::strideAlign() const
{
    const qint64 align = setting("LV_DRAW_BUF_STRIDE_ALIGN");
    return align >= 1 && align <= 1024 && (align & (align - 1)) == 0 ? int(align) : 1;
}

void DeviceModel::applyDefaults(OutputPlan *plan, bool depthGiven, bool strideGiven) const
{
    if (const Lvgl8::Format *format = plan->format()) {
        // A RAW plan's bytes are the file's at every depth, but the GIF
        // player's RAM is counted at the device's.
        if (!depthGiven && ((plan->binary && Lvgl8::dependsOnDepth(*format)) || plan->isRaw()))
            plan->depth = depth();
        plan->chromaKey = chromaKey();
    } else if (const Lvgl9::Format *format = plan->format9()) {
        if (!strideGiven && format->layout != Lvgl9::Layout::Raw)
            plan->strideAlign = strideAlign();
    }
}

QString DeviceModel::refusal(const DeviceImage &image) const
{
    if (m_major && image.lvgl && image.lvgl != m_major)
        return QStringLiteral("a v%1 image does not open on %2 (%3)")
            .arg(image.lvgl)
            .arg(versionText(), m_versionName.isEmpty() ? m_conf.name() : m_versionName);
    for (const QString &problem : {formatRefusal(image), compressionRefusal(image),
                                   embeddedRefusal(image), depthRefusal(image)}) {
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

QString DeviceModel::formatRefusal(const DeviceImage &image) const
{
    // The switches exist from 9.2; before, every format is drawn.
    if (image.lvgl != 9 || !atLeast(2))
        return QString();
    const Lvgl9::Format *format = Lvgl9::findFormat(QString::fromLatin1(image.format));
    const char *name = format ? drawSwitch(*format) : nullptr;
    if (!name || setting(name))
        return QString();
    QString why;
    if (format->layout == Lvgl9::Layout::Indexed)
        why = QStringLiteral("%1 images are expanded to ARGB8888 at load, which the software "
                             "renderer does not draw on this configuration")
                  .arg(QLatin1String(format->name));
    else if (format->layout == Lvgl9::Layout::Rgb565A8)
        why = QStringLiteral("RGB565A8 images are drawn as RGB565, which the software renderer "
                             "does not draw on this configuration");
    else
        why = QStringLiteral("the software renderer does not draw %1 images on this "
                             "configuration")
                  .arg(QLatin1String(format->name));
    return QStringLiteral("%1: %2; set %3 1, or choose another --cf")
        .arg(why, said(name), QLatin1String(name));
}

QString DeviceModel::compressionRefusal(const DeviceImage &image) const
{
    if (image.lvgl != 9 || image.compression == Lvgl9::Compression::None)
        return QString();
    const bool rle = image.compression == Lvgl9::Compression::Rle;
    if (rle && !setting("LV_USE_RLE"))
        return QStringLiteral("RLE-compressed images are not decompressed on this "
                              "configuration: %1; set LV_USE_RLE 1, or write it uncompressed "
                              "(--compress none)")
            .arg(said("LV_USE_RLE"));
    if (!rle && !setting("LV_USE_LZ4_INTERNAL") && !setting("LV_USE_LZ4_EXTERNAL")
        && !setting("LV_USE_LZ4"))
        return QStringLiteral("LZ4-compressed images are not decompressed on this "
                              "configuration: %1, and neither LV_USE_LZ4_EXTERNAL nor LV_USE_LZ4 "
                              "is set; set LV_USE_LZ4_INTERNAL 1, or write it uncompressed "
                              "(--compress none)")
            .arg(said("LV_USE_LZ4_INTERNAL"));
    // 9.0 decompressed without it.
    if (atLeast(1) && !setting("LV_BIN_DECODER_RAM_LOAD"))
        return QStringLiteral("compressed images are decompressed only into RAM, which this "
                              "configuration does not allow: %1; set LV_BIN_DECODER_RAM_LOAD 1, "
                              "or write it uncompressed (--compress none)")
            .arg(said("LV_BIN_DECODER_RAM_LOAD"));
    return QString();
}

QString DeviceModel::embeddedRefusal(const DeviceImage &image) const
{
    const ImageKind kind = image.embedded;
    if (kind == ImageKind::Gif) {
        if (!setting("LV_USE_GIF"))
            return QStringLiteral("a GIF is drawn by the GIF player, which this configuration "
                                  "leaves out: %1; set LV_USE_GIF 1")
                .arg(said("LV_USE_GIF"));
        return QString();
    }
    if (kind != ImageKind::Png && kind != ImageKind::Jpeg)
        return QString();
    const bool png = kind == ImageKind::Png;
    if (image.lvgl == 8) {
        const char *name = png ? "LV_USE_PNG" : "LV_USE_SJPG";
        if (setting(name))
            return QString();
        return QStringLiteral("an embedded %1 is drawn by the %2 decoder, which this "
                              "configuration leaves out: %3; set %4 1, or convert it to pixels "
                              "(another -c)")
            .arg(png ? QStringLiteral("PNG") : QStringLiteral("JPEG"),
                 png ? QStringLiteral("PNG") : QStringLiteral("SJPG"), said(name),
                 QLatin1String(name));
    }
    if (png) {
        if (setting("LV_USE_LODEPNG") || (atLeast(1) && setting("LV_USE_LIBPNG")))
            return QString();
        return QStringLiteral("an embedded PNG needs a decoder that reads C arrays, and this "
                              "configuration has none: %1%2; set LV_USE_LODEPNG 1, or convert "
                              "it to pixels (another --cf)")
            .arg(said("LV_USE_LODEPNG"),
                 atLeast(1) ? QStringLiteral(", and LV_USE_LIBPNG is not set")
                            : QStringLiteral(" (LV_USE_LIBPNG reads C arrays only from 9.1)"));
    }
    for (const char *name : {"LV_USE_TJPGD", "LV_USE_FS_MEMFS"}) {
        if (!setting(name))
            return QStringLiteral("an embedded JPEG is read from a C array by LV_USE_TJPGD "
                                  "through LV_USE_FS_MEMFS, and this configuration lacks it: "
                                  "%1; set %2 1, or convert it to pixels (another --cf)")
                .arg(said(name), QLatin1String(name));
    }
    return QString();
}

QString DeviceModel::depthRefusal(const DeviceImage &image) const
{
    if (image.lvgl != 8)
        return QString();
    const qint64 configured = setting("LV_COLOR_DEPTH");
    const int depth = configured == 1 ? 8 : int(configured);
    if (image.format == "RGB565A8" && depth != 16)
        return QStringLiteral("RGB565A8 is drawn only at LV_COLOR_DEPTH 16: %1; use "
                              "TRUE_COLOR_ALPHA, or set LV_COLOR_DEPTH 16")
            .arg(said("LV_COLOR_DEPTH"));
    if (!image.binary || !image.depth)
        return QString();
    if (image.depth != depth)
        return QStringLiteral("this .bin is made for LV_COLOR_DEPTH %1, which the device "
                              "does not have: %2; make it for the file's depth (leave --depth "
                              "out) or change LV_COLOR_DEPTH")
            .arg(image.depth)
            .arg(said("LV_COLOR_DEPTH"));
    const int swap = setting("LV_COLOR_16_SWAP") ? 1 : 0;
    if (depth == 16 && image.swap >= 0 && image.swap != swap)
        return QStringLiteral("this .bin is made for LV_COLOR_DEPTH 16 %1 LV_COLOR_16_SWAP, "
                              "which the device does not have: %2; make it for the file's "
                              "setting (leave --depth out) or change LV_COLOR_16_SWAP")
            .arg(image.swap ? QStringLiteral("with") : QStringLiteral("without"),
                 said("LV_COLOR_16_SWAP"));
    return QString();
}

QStringList DeviceModel::warnings(const DeviceImage &image) const
{
    QStringList warnings;
    if (image.lvgl != 9)
        return warnings;
    const Lvgl9::Format *format = Lvgl9::findFormat(QString::fromLatin1(image.format));
    if (!format || format->layout == Lvgl9::Layout::Raw)
        return warnings;
    const int align = strideAlign();
    // What the library copies the image into at load, and why.
    QStringList why;
    const Lvgl9::Format *held = format;
    if (format->layout == Lvgl9::Layout::Indexed) {
        why << QStringLiteral("%1 is expanded to ARGB8888").arg(QLatin1String(format->name));
        held = Lvgl9::findFormat(QStringLiteral("ARGB8888"));
    } else if (format->layout == Lvgl9::Layout::Alpha && format->bits < 8) {
        why << QStringLiteral("%1 is widened to A8").arg(QLatin1String(format->name));
        held = Lvgl9::findFormat(QStringLiteral("A8"));
    }
    if (image.compression != Lvgl9::Compression::None)
        why << QStringLiteral("it is compressed");
    if (image.width > 0 && image.stride > 0
        && image.stride != Lvgl9::stride(*format, image.width, align))
        why << QStringLiteral("its stride of %1 bytes is not the %2 that %3 asks for")
                   .arg(image.stride)
                   .arg(Lvgl9::stride(*format, image.width, align))
                   .arg(said("LV_DRAW_BUF_STRIDE_ALIGN"));
    if (!why.isEmpty()) {
        QString text = QStringLiteral("the library copies this image into heap RAM at load (%1)")
                           .arg(why.join(QLatin1String("; ")));
        if (image.width > 0 && image.height > 0)
            text += QStringLiteral(": %1 bytes")
                        .arg(Lvgl9::dataSize(*held, image.width, image.height, align));
        warnings << text + QStringLiteral(", so it cannot be drawn in place from flash");
    }
    if (atLeast(2)) {
        const char *needed = format->layout == Lvgl9::Layout::Alpha && format->bits == 8
            ? "LV_DRAW_SW_SUPPORT_A8"
            : format->layout == Lvgl9::Layout::Rgb565 ? "LV_DRAW_SW_SUPPORT_RGB565A8"
                                                      : nullptr;
        if (needed && !setting(needed))
            warnings << QStringLiteral("%1 images cannot be rotated or scaled on this "
                                       "configuration: %2")
                            .arg(QLatin1String(format->name), said(needed));
    }
    return warnings;
}

} // namespace Convert
