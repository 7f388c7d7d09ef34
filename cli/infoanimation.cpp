#include "infoanimation.h"

#include <filepath.h>

#include <QJsonArray>
#include <QStringList>

using namespace Convert;

namespace {

QString loopText(int loopCount)
{
    if (loopCount < 0)
        return QString();
    return loopCount == 0
        ? QStringLiteral("loops for ever")
        : QStringLiteral("plays %1 %2")
              .arg(loopCount)
              .arg(loopCount == 1 ? QStringLiteral("time") : QStringLiteral("times"));
}

QString memoryText(qint64 bytes)
{
    return bytes >= (qint64(1) << 20)
        ? QStringLiteral("%1 MiB").arg(double(bytes) / (1 << 20), 0, 'f', 1)
        : QStringLiteral("%1 KiB").arg((bytes + 1023) / 1024);
}

} // namespace

void describeAnimation(const LvglAnimationInfo &a, QString *text)
{
    const auto line = [text](const QString &key, const QString &value) {
        *text += QStringLiteral("  ") + key.leftJustified(13) + escapeControls(value)
            + QLatin1Char('\n');
    };
    QString summary = QStringLiteral("%1 of %2 frames").arg(a.kind).arg(a.frames.size());
    if (a.canvas.isValid())
        summary +=
            QStringLiteral(" on a %1 x %2 canvas").arg(a.canvas.width()).arg(a.canvas.height());
    summary += QStringLiteral(", %1 ms in all").arg(a.durationMs);
    const QString loops = loopText(a.loopCount);
    if (!loops.isEmpty())
        summary += QStringLiteral(", ") + loops;
    line(QStringLiteral("animation:"), summary);
    if (a.kind == QLatin1String("GIF")) {
        QStringList delays;
        for (const LvglFrameInfo &frame : a.frames)
            delays << QString::number(frame.delayMs);
        line(QStringLiteral("delays:"), delays.join(QLatin1String(", ")) + QStringLiteral(" ms"));
    } else {
        for (int i = 0; i < a.frames.size(); ++i) {
            const LvglFrameInfo &frame = a.frames.at(i);
            QString value = QStringLiteral("%1, %2 x %3, %4, %5 ms")
                                .arg(frame.name)
                                .arg(frame.width)
                                .arg(frame.height)
                                .arg(frame.formatName.isEmpty() ? QStringLiteral("unknown format")
                                                                : frame.formatName)
                                .arg(frame.delayMs);
            if (!frame.sharesWith.isEmpty())
                value += QStringLiteral(", shares %1").arg(frame.sharesWith);
            if (!frame.error.isEmpty())
                value += QStringLiteral(", inconsistent");
            line(QStringLiteral("frame %1:").arg(i), value);
        }
    }
    if (a.playerBytes >= 0)
        line(QStringLiteral("player RAM:"),
             QStringLiteral("about %1 (%2)").arg(memoryText(a.playerBytes), a.playerNote));
}

QJsonObject animationFacts(const LvglAnimationInfo &a)
{
    QJsonObject o;
    o.insert(QStringLiteral("kind"),
             a.kind == QLatin1String("GIF") ? QStringLiteral("gif") : QStringLiteral("frameSet"));
    o.insert(QStringLiteral("frameCount"), a.frames.size());
    if (a.canvas.isValid())
        o.insert(QStringLiteral("canvas"),
                 QJsonObject {{QStringLiteral("width"), a.canvas.width()},
                              {QStringLiteral("height"), a.canvas.height()}});
    QJsonArray delays;
    QJsonArray frames;
    for (const LvglFrameInfo &frame : a.frames) {
        delays.append(frame.delayMs);
        if (a.kind == QLatin1String("GIF"))
            continue;
        QJsonObject f {{QStringLiteral("name"), frame.name},
                       {QStringLiteral("width"), frame.width},
                       {QStringLiteral("height"), frame.height},
                       {QStringLiteral("format"), frame.formatName},
                       {QStringLiteral("delayMs"), frame.delayMs},
                       {QStringLiteral("dataSize"),
                        frame.dataSize >= 0 ? QJsonValue(double(frame.dataSize)) : QJsonValue()},
                       {QStringLiteral("consistent"), frame.error.isEmpty()}};
        if (!frame.sharesWith.isEmpty())
            f.insert(QStringLiteral("sharesWith"), frame.sharesWith);
        if (!frame.error.isEmpty())
            f.insert(QStringLiteral("error"), frame.error);
        frames.append(f);
    }
    o.insert(QStringLiteral("delaysMs"), delays);
    if (!frames.isEmpty())
        o.insert(QStringLiteral("frames"), frames);
    o.insert(QStringLiteral("durationMs"), double(a.durationMs));
    o.insert(QStringLiteral("loopCount"),
             a.loopCount >= 0 ? QJsonValue(a.loopCount) : QJsonValue());
    if (a.playerBytes >= 0)
        o.insert(QStringLiteral("playerRamBytes"), double(a.playerBytes));
    return o;
}
