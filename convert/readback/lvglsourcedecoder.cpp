// Decoding the C source of an image: every depth section it holds; a frame
// set, frame by frame (lvglframeset.cpp).
#include "lvgldecoder.h"

#include "carrayreader.h"
#include "lvgldecoding.h"
#include "lvglsourcefields.h"

#include <utility>
#include <vector>

namespace Convert {

using namespace Decoder;

namespace {

CArrayReader::Setting readerSetting(int depth, bool swap)
{
    switch (depth) {
    case 8:
        return CArrayReader::Depth8;
    case 24:
    case 32:
        return CArrayReader::Depth32;
    default:
        return swap ? CArrayReader::Depth16Swap : CArrayReader::Depth16;
    }
}

constexpr int settingDepth[CArrayReader::SettingCount] = {8, 16, 16, 32};

struct SourceDecoding
{
    LvglDecodeResult result;
    std::vector<bool> keyed; // chroma-keyed formats: the opaque pixels keyed out
};

SourceDecoding decodeSourceAt(const CArrayReader &reader, const DeviceSettings &device,
                              LvglVersion version)
{
    DeviceSettings settings = device;
    Decoding decoding(settings, true);
    const auto done = [&decoding] {
        SourceDecoding out;
        out.keyed = decoding.keyed();
        out.result = decoding.take();
        return out;
    };
    const CImageSource &image = reader.image();
    LvglImageInfo &info = decoding.info();
    info.depthSections = image.sections;

    SourceFields fields(reader,
                        device.depth == 24 || device.depth == 32 ? 32
                            : device.depth == 8                  ? 8
                                                                 : 16);
    QString error;
    qint64 cf = 0;
    if (!reader.field("header.cf")) {
        decoding.fail(QStringLiteral("line %1: the descriptor '%2' has no .header.cf")
                          .arg(image.line)
                          .arg(QString::fromUtf8(image.name)));
        return done();
    }
    if (!fields.value("header.cf", 255, 0, &cf, &error)) {
        decoding.fail(error);
        return done();
    }

    // Which version: by the type, the fields and the names used.
    bool v9 = image.type == "lv_image_dsc_t" || reader.field("header.magic")
        || reader.field("header.flags") || reader.field("header.stride")
        || reader.field("header.reserved_2") || reader.field("reserved")
        || reader.field("reserved_2") || fields.usedV9Names;
    const bool v8 = reader.field("header.always_zero") || fields.usedV8Names;
    if (v8 && v9) {
        decoding.fail(QStringLiteral("line %1: the descriptor '%2' mixes LVGL v8 and v9 names")
                          .arg(image.line)
                          .arg(QString::fromUtf8(image.name)));
        return done();
    }
    if (version != LvglVersion::Detect && v9 != (version == LvglVersion::V9)) {
        decoding.fail(QStringLiteral("the file holds an LVGL v%1 image").arg(v9 ? 9 : 8));
        return done();
    }

    const qint64 sideLimit = v9 ? 0xffff : 0x7ff;
    qint64 width = 0;
    qint64 height = 0;
    qint64 flags = 0;
    qint64 stride = 0;
    qint64 magic = V9Magic;
    qint64 zero = 0;
    qint64 reserved = 0;
    for (const char *required : {"header.w", "header.h"}) {
        if (!reader.field(required)) {
            decoding.fail(QStringLiteral("line %1: the descriptor '%2' has no .%3")
                              .arg(image.line)
                              .arg(QString::fromUtf8(image.name), QLatin1String(required)));
            return done();
        }
    }
    if (!fields.value("header.w", sideLimit, 0, &width, &error)
        || !fields.value("header.h", sideLimit, 0, &height, &error)
        || !fields.value("header.flags", 0xffff, 0, &flags, &error)
        || !fields.value("header.stride", 0xffff, 0, &stride, &error)
        || !fields.value("header.magic", 0xff, V9Magic, &magic, &error)
        || !fields.value("header.always_zero", 7, 0, &zero, &error)
        || !fields.value("header.reserved", v9 ? 0xffff : 3, 0, &reserved, &error)
        || !fields.isNull("reserved", &error) || !fields.isNull("reserved_2", &error)) {
        decoding.fail(error);
        return done();
    }
    if (!v9 && cf > 31) {
        decoding.fail(QStringLiteral("line %1: .header.cf is %2, more than the 5 bits of a v8 "
                                     "header hold")
                          .arg(reader.field("header.cf")->line)
                          .arg(cf));
        return done();
    }

    Header header;
    header.version = v9 ? 9 : 8;
    header.cf = int(cf);
    header.width = int(width);
    header.height = int(height);
    header.flags = v9 ? int(flags) : int(zero | reserved << 3);
    header.stride = int(stride);
    if (!decoding.readHeader(header))
        return done();

    const FormatRow &row = *decoding.format();
    // A true-colour array without depth sections is read at the depth its
    // size fits, when no depth is asked for.
    if (!v9 && settings.depth == 0) {
        settings.depth = 16;
        if (row.layout == Layout::DepthColour && image.sections.isEmpty()) {
            const int fitting =
                Decoding::fittingDepth(row, header.width, header.height, image.data.size());
            if (fitting)
                settings.depth = fitting;
        }
        fields.setDepth(settings.depth);
    }

    qint64 dataSize = -1;
    const CImageSource::Field *dataSizeField = reader.field("data_size");
    if (dataSizeField) {
        if (!fields.value("data_size", qint64(1) << 40, 0, &dataSize, &error)) {
            decoding.fail(error);
            return done();
        }
    } else if (v9 || row.layout == Layout::Raw) {
        decoding.fail(QStringLiteral("line %1: the descriptor '%2' has no .data_size")
                          .arg(image.line)
                          .arg(QString::fromUtf8(image.name)));
        return done();
    } else {
        decoding.warn(QStringLiteral("the descriptor has no .data_size"));
    }

    if (v9) {
        if (!reader.field("header.magic"))
            decoding.warn(QStringLiteral("the descriptor sets no .header.magic "
                                         "(LV_IMAGE_HEADER_MAGIC)"));
        else if (magic != V9Magic) {
            decoding.fail(QStringLiteral("line %1: .header.magic is 0x%2; a v9 image has 0x19")
                              .arg(reader.field("header.magic")->line)
                              .arg(magic, 2, 16, QLatin1Char('0')));
            return done();
        }
        // LVGL 9.1 added the descriptor's .reserved, 9.3 its .reserved_2.
        if (reader.field("reserved_2"))
            decoding.warn(QStringLiteral("the descriptor's .reserved_2 needs LVGL 9.3 or later"));
        else if (reader.field("reserved"))
            decoding.warn(QStringLiteral("the descriptor's .reserved needs LVGL 9.1 or later"));
    }

    // LVGL's PNG and JPEG decoders take C data that starts like such a
    // file for one.
    if (!v9 && row.layout != Layout::Raw) {
        const QByteArray head = image.data.left(4);
        if (head.startsWith("\xff\xd8\xff") || head.startsWith("\x89PNG"))
            decoding.warn(
                QStringLiteral("the data starts like a %1 file: with %2 enabled, LVGL "
                               "tries to decode it as one")
                    .arg(head.startsWith('\xff') ? QLatin1String("JPEG") : QLatin1String("PNG"),
                         head.startsWith('\xff') ? QLatin1String("LV_USE_SJPG")
                                                 : QLatin1String("LV_USE_PNG")));
    }

    if (v9)
        decoding.decodeV9(image.data, image.data.size(), dataSize);
    else
        decoding.decodeV8(image.data, image.data.size(), dataSize);
    return done();
}

} // namespace

namespace Decoder {

LvglDecodeResult decodeDescriptor(const CArrayReader &reader, const DeviceSettings &device,
                                  LvglVersion version)
{
    const CArrayReader::Setting setting = reader.setting();
    const QStringList &sections = reader.image().sections;
    const QString settingText = CArrayReader::settingName(setting);
    if (!sections.isEmpty() && !sections.contains(settingText)) {
        LvglDecodeResult failed;
        failed.info.fromC = true;
        failed.info.depthSections = sections;
        failed.error = QStringLiteral("the array has no data for LV_COLOR_DEPTH %1 (its sections: "
                                      "%2)")
                           .arg(settingText, sections.join(QLatin1String(", ")));
        return failed;
    }
    SourceDecoding primary = decodeSourceAt(reader, device, version);
    LvglDecodeResult &result = primary.result;
    if (!result.ok() || sections.isEmpty())
        return result;

    // Every other section the file holds is read too: a broken one breaks
    // the file, whichever depth is asked for. (v9 is not shown at depth 8.)
    std::vector<bool> keyed[CArrayReader::SettingCount];
    keyed[setting] = primary.keyed;
    for (int s = 0; s < CArrayReader::SettingCount; ++s) {
        const auto other = CArrayReader::Setting(s);
        if (other == setting || !sections.contains(CArrayReader::settingName(other))
            || (result.info.version == 9 && other == CArrayReader::Depth8))
            continue;
        DeviceSettings at = device;
        at.depth = settingDepth[s];
        at.swap = other == CArrayReader::Depth16Swap;
        const CArrayReader sectionReader = reader.forSetting(other);
        QString error = sectionReader.errorString();
        if (sectionReader.ok()) {
            SourceDecoding decoded = decodeSourceAt(sectionReader, at, version);
            error = decoded.result.error;
            keyed[s] = std::move(decoded.keyed);
        }
        if (!error.isEmpty()) {
            result.error = QStringLiteral("the section for %1 is broken: %2")
                               .arg(depthName(at.depth, at.swap), error);
            result.image = QImage();
            return result;
        }
    }

    // The chroma key at depths 8 and 16, section by section. With a depth-32
    // section, the pixels that are the key colour itself are known and left
    // out: what remains are colours near it that reduce to it.
    const std::vector<bool> &exact = keyed[CArrayReader::Depth32];
    for (const auto s : {CArrayReader::Depth8, CArrayReader::Depth16, CArrayReader::Depth16Swap}) {
        const std::vector<bool> &bits = keyed[s];
        if (bits.empty())
            continue;
        qint64 count = 0;
        const bool nearOnly = exact.size() == bits.size();
        for (size_t k = 0; k < bits.size(); ++k)
            count += bits[k] && !(nearOnly && exact[k]);
        if (count > 0)
            result.info.warnings << keyWarning(settingDepth[s], s == CArrayReader::Depth16Swap,
                                               count, device.chromaKey, nearOnly);
    }
    return result;
}

} // namespace Decoder

LvglDecodeResult decodeLvglSource(const QByteArray &text, const DeviceSettings &device,
                                  LvglVersion version)
{
    const CArrayReader::Setting setting = readerSetting(device.depth, device.swap);
    CArrayReader reader(setting);
    if (!reader.read(text)) {
        LvglDecodeResult failed;
        failed.info.fromC = true;
        failed.error = reader.errorString();
        return failed;
    }
    if (!reader.pointerArrays().isEmpty())
        return decodeFrameSet(reader, device, version);
    return decodeDescriptor(reader, device, version);
}

} // namespace Convert
