// inspect of asset packs: the pack's header, each entry's facts and
// consistency, the CRC, and with --png --entry NAME the picture of one
// entry, decoded from the entry's bytes as a .bin.
#include "infocommand.h"

#include <filepath.h>
#include <outputfile.h>
#include <packreader.h>

#include <QFile>
#include <QJsonArray>

#include <cstdio>

using namespace Convert;

namespace {

void printText(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QString hex32(quint32 value)
{
    return QStringLiteral("0x") + QString::number(value, 16).rightJustified(8, QLatin1Char('0'));
}

} // namespace

bool Inspect::startsAsPack(const QString &file)
{
    // Only a regular file is opened: a FIFO would block the read.
    if (fileStatus(file).kind != FileKind::Regular)
        return false;
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.read(4) == "BFPK";
}

void Inspect::inspectPack(const QString &file, QJsonArray *files)
{
    QByteArray bytes;
    const ConvertResult read = readLvglFile(file, &bytes);
    if (!read.ok()) {
        reportFailure(file, read.reason());
        return;
    }
    const PackInfo pack = readPack(bytes);
    QStringList problems = pack.problems;
    QVector<LvglDecodeResult> decoded;
    for (const PackInfo::Entry &e : pack.entries) {
        LvglDecodeResult result;
        if (e.problems.isEmpty()) {
            result = decodeLvglBinary(packEntryBytes(bytes, e), m_device,
                                      e.lvgl == 9 ? LvglVersion::V9 : LvglVersion::V8);
        } else {
            result.error = e.problems.join(QLatin1String("; "));
        }
        if (!result.ok())
            problems
                << QStringLiteral("entry %1: %2").arg(QString::fromLatin1(e.name), result.error);
        decoded.append(result);
    }
    // A pack of one image renders it without --entry.
    const int chosen =
        m_entry.isEmpty() ? (pack.entries.size() == 1 ? 0 : -1) : pack.find(m_entry.toUtf8());
    if (!m_entry.isEmpty() && chosen < 0)
        problems << QStringLiteral("the pack has no entry named '%1'").arg(m_entry);
    if (!problems.isEmpty())
        reportFailure(file, problems.join(QLatin1String("; ")));

    QString preview;
    if (!m_png.isEmpty() && chosen >= 0 && decoded.at(chosen).ok()) {
        if (!writePreview(file, decoded.at(chosen).image, &preview))
            preview.clear();
    } else if (!m_png.isEmpty() && chosen < 0 && m_entry.isEmpty()) {
        reportFailure(file,
                      tr("a pack of %1 images: choose the one to render with --entry NAME")
                          .arg(pack.entries.size()));
    }

    if (m_json) {
        QJsonArray entries;
        for (int i = 0; i < pack.entries.size(); ++i) {
            const PackInfo::Entry &e = pack.entries.at(i);
            QJsonObject o {{QStringLiteral("name"), QString::fromLatin1(e.name)},
                           {QStringLiteral("offset"), double(e.offset)},
                           {QStringLiteral("size"), double(e.size)},
                           {QStringLiteral("version"), e.lvgl},
                           {QStringLiteral("cf"), e.cf},
                           {QStringLiteral("width"), e.width},
                           {QStringLiteral("height"), e.height},
                           {QStringLiteral("stride"), e.stride},
                           {QStringLiteral("consistent"), decoded.at(i).ok()}};
            if (!decoded.at(i).ok())
                o.insert(QStringLiteral("error"), decoded.at(i).error);
            if (!decoded.at(i).info.formatName.isEmpty())
                o.insert(QStringLiteral("format"), decoded.at(i).info.formatName);
            entries.append(o);
        }
        QJsonObject object {{QStringLiteral("readable"), true},
                            {QStringLiteral("consistent"), problems.isEmpty()},
                            {QStringLiteral("source"), QStringLiteral("pack")},
                            {QStringLiteral("packVersion"), pack.version},
                            {QStringLiteral("alignment"), double(pack.align)},
                            {QStringLiteral("size"), double(pack.size)},
                            {QStringLiteral("crc"), hex32(pack.crc)},
                            {QStringLiteral("crcMatches"), pack.crc == pack.computedCrc},
                            {QStringLiteral("entries"), entries}};
        if (!problems.isEmpty())
            object.insert(QStringLiteral("error"), problems.join(QLatin1String("; ")));
        insertFileName(&object, QStringLiteral("file"), file);
        if (!preview.isEmpty())
            insertFileName(&object, QStringLiteral("preview"), preview);
        files->append(object);
        return;
    }
    if (m_png == OutputFile::standardOutput())
        return;
    QString text = displayPath(file) + QStringLiteral(":\n");
    const auto line = [&text](const QString &key, const QString &value) {
        text += QStringLiteral("  ") + key.leftJustified(13) + escapeControls(value)
            + QLatin1Char('\n');
    };
    line(QStringLiteral("pack:"),
         QStringLiteral("version %1, %2 entries, aligned to %3, %4 bytes")
             .arg(QString::number(pack.version), QString::number(pack.entries.size()),
                  QString::number(pack.align), QString::number(pack.size)));
    line(QStringLiteral("crc-32:"),
         pack.crc == pack.computedCrc ? hex32(pack.crc) + QStringLiteral(", matches")
                                      : QStringLiteral("%1 stored, %2 computed: does not match")
                                            .arg(hex32(pack.crc), hex32(pack.computedCrc)));
    for (int i = 0; i < pack.entries.size(); ++i) {
        const PackInfo::Entry &e = pack.entries.at(i);
        const QString format = decoded.at(i).info.formatName.isEmpty()
            ? QStringLiteral("cf %1").arg(e.cf)
            : QStringLiteral("%1 (cf %2)").arg(decoded.at(i).info.formatName).arg(e.cf);
        line(QStringLiteral("entry:"),
             QStringLiteral("%1: offset %2, %3 bytes, LVGL v%4, %5, %6 x %7, stride %8; %9")
                 .arg(QString::fromLatin1(e.name), QString::number(e.offset),
                      QString::number(e.size), QString::number(e.lvgl), format,
                      QString::number(e.width), QString::number(e.height),
                      QString::number(e.stride),
                      decoded.at(i).ok()
                          ? QStringLiteral("consistent")
                          : QStringLiteral("not consistent: ") + decoded.at(i).error));
    }
    line(QStringLiteral("consistent:"),
         problems.isEmpty() ? QStringLiteral("yes")
                            : QStringLiteral("no: ") + problems.join(QLatin1String("; ")));
    printText(text);
}
