#include "frameset.h"

#include "outputversion.h"
#include "textsink.h"

namespace Convert {

qint64 FrameSet::durationMs() const
{
    qint64 total = 0;
    for (const Frame &frame : frames)
        total += frame.delayMs;
    return total;
}

int FrameSet::shareEqualFrames()
{
    int shared = 0;
    for (int i = 1; i < frames.size(); ++i) {
        Frame &frame = frames[i];
        const Frame &before = frames.at(i - 1);
        frame.sharesWith = -1;
        if (frame.source.image == before.source.image) {
            frame.sharesWith = before.sharesWith >= 0 ? before.sharesWith : i - 1;
            ++shared;
        }
    }
    return shared;
}

bool writeFrameSetC(const OutputPlan &plan, const FrameSet &set, const QByteArray &symbol,
                    QIODevice *device, QString *error, Remarks *remarks)
{
    const OutputVersion &version = OutputVersion::of(plan);
    TextSink out(device);
    version.writeCHead(plan, symbol, out);
    const auto frameName = [&symbol](int i) {
        QByteArray name = symbol;
        name += '_';
        name += QByteArray::number(i);
        return name;
    };
    for (int i = 0; i < set.frames.size() && out.ok(); ++i) {
        const FrameSet::Frame &frame = set.frames.at(i);
        QByteArray shared;
        if (frame.sharesWith >= 0)
            shared = frameName(frame.sharesWith) + "_map";
        version.writeCImage(plan, frame.source, frameName(i), symbol, shared, out, remarks);
    }

    QByteArray names;
    QByteArray delays;
    for (int i = 0; i < set.frames.size(); ++i) {
        const char *separator = i == 0 ? " " : ", ";
        names += separator;
        names += '&';
        names += frameName(i);
        delays += separator;
        delays += QByteArray::number(set.frames.at(i).delayMs);
    }
    out.appendLine("const void * const " + symbol + "_frames[] = {" + names + " };");
    out.appendLine("const uint32_t " + symbol
                   + "_frame_count = " + QByteArray::number(set.frames.size()) + ';');
    out.appendLine("const uint32_t " + symbol + "_frame_ms[] = {" + delays
                   + " }; /* each frame's delay, ms */");
    out.appendLine("const uint32_t " + symbol + "_duration_ms = "
                   + QByteArray::number(set.durationMs()) + "; /* for lv_animimg_set_duration */");
    out.appendLine("const uint32_t " + symbol + "_loop_count = " + QByteArray::number(set.loopCount)
                   + "; /* 0: for ever */");
    out.appendLine("");
    version.writeCEnd(out);
    if (remarks)
        remarks->warnings.removeDuplicates();
    if (out.finish())
        return true;
    if (error)
        *error = out.errorString();
    return false;
}

QString frameFileName(int frame)
{
    return QStringLiteral("%1.bin").arg(frame, 3, 10, QLatin1Char('0'));
}

QByteArray frameListText(const FrameSet &set)
{
    QByteArray text;
    for (int i = 0; i < set.frames.size(); ++i) {
        text += frameFileName(i).toLatin1();
        text += ' ';
        text += QByteArray::number(set.frames.at(i).delayMs);
        text += '\n';
    }
    return text;
}

} // namespace Convert
