#ifndef LVGL8OUTPUT_H
#define LVGL8OUTPUT_H

#include "outputversion.h"

namespace Convert {

// LVGL v8: the rows of lvgl8formats.h, written by lvgl8writer.h; a
// side fits 11 bits of the header word. Warns where opaque pixels take the
// chroma key's value.
class Lvgl8Output final : public OutputVersion
{
public:
    Lvgl8Output() = default;

    QString problem(const OutputPlan &plan) const override;
    const char *formatName(const OutputPlan &plan) const override;
    int paletteEntries(const OutputPlan &plan) const override;
    int maxSide() const override;
    ConvertResult checkSize(const OutputPlan &plan, QSize size, const QString &path) const override;
    QByteArray binary(const OutputPlan &plan, const SourceImage &source,
                      Remarks *remarks) const override;
    bool writeC(const OutputPlan &plan, const SourceImage &source, const QByteArray &symbol,
                QIODevice *device, QString *error, Remarks *remarks) const override;
    void writeCHead(const OutputPlan &plan, const QByteArray &attribute,
                    TextSink &out) const override;
    void writeCImage(const OutputPlan &plan, const SourceImage &source, const QByteArray &symbol,
                     const QByteArray &attribute, const QByteArray &sharedData, TextSink &out,
                     Remarks *remarks) const override;
    void writeCEnd(TextSink &out) const override;
};

} // namespace Convert

#endif // LVGL8OUTPUT_H
