// Reading a frame set back: its frames, each decoded as the image it is,
// and the count, the delays and the duration beside them.
#include "lvgldecoding.h"

#include "carrayreader.h"

#include <QHash>

namespace Convert {
namespace Decoder {

namespace {

QString quotedName(const QByteArray &name)
{
    return QLatin1Char('\'') + QString::fromUtf8(name) + QLatin1Char('\'');
}

// The value of the uint32_t stem + suffix; false with error when it is not
// given or cannot be evaluated.
bool scalarValue(const CArrayReader &reader, const QByteArray &name, qint64 *value, QString *error)
{
    const CScalar *scalar = reader.scalar(name);
    if (!scalar) {
        *error = QStringLiteral("the frame set has no %1").arg(quotedName(name));
        return false;
    }
    const CArrayReader::Lookup none = [](const QByteArray &, qint64 *) { return false; };
    return reader.evaluate(scalar->value, none, value, error);
}

} // namespace

LvglDecodeResult decodeFrameSet(const CArrayReader &reader, const DeviceSettings &device,
                                LvglVersion version)
{
    LvglDecodeResult result;
    result.info.fromC = true;
    const auto failed = [&result](const QString &error) {
        if (result.error.isEmpty())
            result.error = error;
        result.image = QImage();
        result.frames.clear();
        return result;
    };
    QByteArray listName;
    for (auto it = reader.pointerArrays().constBegin(); it != reader.pointerArrays().constEnd();
         ++it) {
        if (!it.key().endsWith("_frames"))
            return failed(
                QStringLiteral("line %1: %2 is not the array of a frame set (NAME_frames)")
                    .arg(it->line)
                    .arg(quotedName(it.key())));
        if (!listName.isEmpty())
            return failed(QStringLiteral("the file holds two frame sets, %1 and %2")
                              .arg(quotedName(listName), quotedName(it.key())));
        listName = it.key();
    }
    const CPointerArray &list = reader.pointerArrays().value(listName);
    const QByteArray stem = listName.left(listName.size() - int(qstrlen("_frames")));
    if (list.names.isEmpty())
        return failed(
            QStringLiteral("line %1: %2 is empty").arg(list.line).arg(quotedName(listName)));

    LvglAnimationInfo animation;
    animation.kind = QStringLiteral("frame set");
    QVector<bool> listed(reader.descriptorCount(), false);
    QHash<QByteArray, QByteArray> arrayUsedBy; // an array, the first frame whose .data names it
    for (int i = 0; i < list.names.size(); ++i) {
        const QByteArray &name = list.names.at(i);
        int index = -1;
        for (int d = 0; d < reader.descriptorCount() && index < 0; ++d) {
            if (reader.descriptor(d).name == name)
                index = d;
        }
        if (index < 0)
            return failed(QStringLiteral("line %1: %2 names %3, which is no image descriptor of "
                                         "the file")
                              .arg(list.line)
                              .arg(quotedName(listName), quotedName(name)));
        listed[index] = true;
        const CImageSource &descriptor = reader.descriptor(index);
        LvglDecodeResult frame = decodeDescriptor(reader.descriptorReader(index), device, version);
        LvglFrameInfo facts;
        facts.name = QString::fromUtf8(name);
        facts.width = frame.info.width;
        facts.height = frame.info.height;
        facts.formatName = frame.info.formatName;
        facts.dataSize = frame.info.dataSize;
        facts.error = frame.error;
        if (arrayUsedBy.contains(descriptor.arrayName))
            facts.sharesWith = QString::fromUtf8(descriptor.arrayName);
        else
            arrayUsedBy.insert(descriptor.arrayName, name);
        if (name != stem + '_' + QByteArray::number(i))
            result.info.warnings << QStringLiteral("frame %1 is %2, not %3_%1")
                                        .arg(i)
                                        .arg(quotedName(name), QString::fromUtf8(stem));
        animation.frames.append(facts);
        if (i == 0) {
            const LvglAnimationInfo none;
            const QStringList warnings = result.info.warnings;
            result.info = frame.info;
            result.info.warnings = warnings + frame.info.warnings;
            result.info.animation = none;
        } else {
            for (const QString &warning : qAsConst(frame.info.warnings))
                result.info.warnings << QStringLiteral("frame %1: %2").arg(i).arg(warning);
            if (frame.info.version && frame.info.version != result.info.version)
                failed(QStringLiteral("frame %1 is an LVGL v%2 image, frame 0 a v%3 one")
                           .arg(i)
                           .arg(frame.info.version)
                           .arg(result.info.version));
        }
        if (!frame.ok())
            failed(QStringLiteral("frame %1 (%2): %3").arg(i).arg(facts.name, frame.error));
        else if (result.error.isEmpty())
            result.frames.append(frame.image);
    }
    for (int d = 0; d < reader.descriptorCount(); ++d) {
        if (!listed.at(d))
            result.info.warnings << QStringLiteral("the descriptor %1 is not in %2")
                                        .arg(quotedName(reader.descriptor(d).name),
                                             quotedName(listName));
    }

    // The count, the delays, the duration and the loop count beside them.
    QString error;
    qint64 count = 0;
    if (!scalarValue(reader, stem + "_frame_count", &count, &error))
        failed(error);
    else if (count != list.names.size())
        failed(QStringLiteral("%1 is %2, but %3 lists %4 frames")
                   .arg(QString::fromUtf8(stem + "_frame_count"))
                   .arg(count)
                   .arg(QString::fromUtf8(listName))
                   .arg(list.names.size()));
    const QByteArray msName = stem + "_frame_ms";
    const auto ms = reader.wordArrays().constFind(msName);
    if (ms == reader.wordArrays().constEnd()) {
        failed(QStringLiteral("the frame set has no %1").arg(quotedName(msName)));
    } else if (ms->values.size() != list.names.size()) {
        failed(QStringLiteral("%1 has %2 delays for %3 frames")
                   .arg(QString::fromUtf8(msName))
                   .arg(ms->values.size())
                   .arg(list.names.size()));
    } else {
        for (int i = 0; i < ms->values.size(); ++i) {
            animation.frames[i].delayMs = int(ms->values.at(i));
            animation.durationMs += qint64(ms->values.at(i));
        }
        qint64 duration = 0;
        if (!scalarValue(reader, stem + "_duration_ms", &duration, &error))
            failed(error);
        else if (duration != animation.durationMs)
            failed(QStringLiteral("%1 is %2, but the delays add up to %3")
                       .arg(QString::fromUtf8(stem + "_duration_ms"))
                       .arg(duration)
                       .arg(animation.durationMs));
    }
    qint64 loops = 0;
    if (!scalarValue(reader, stem + "_loop_count", &loops, &error))
        failed(error);
    else
        animation.loopCount = int(qBound(qint64(0), loops, qint64(0xffffffff)));
    result.info.animation = animation;
    if (result.error.isEmpty() && !result.frames.isEmpty())
        result.image = result.frames.first();
    return result;
}

} // namespace Decoder
} // namespace Convert
