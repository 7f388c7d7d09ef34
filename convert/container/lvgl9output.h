#ifndef LVGL9OUTPUT_H
#define LVGL9OUTPUT_H

#include "outputversion.h"

namespace Convert {

// LVGL v9: the rows of lvgl9formats.h, encoded by lvgl9encoder.h and
// written by lvgl9writer.h; sides and strides fit 16 bits. Notes a stride
// widened for RLE and compression that does not pay.
class Lvgl9Output final : public OutputVersion
{
public:
    Lvgl9Output() = default;

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

#endif // LVGL9OUTPUT_H
