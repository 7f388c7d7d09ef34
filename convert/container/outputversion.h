#ifndef OUTPUTVERSION_H
#define OUTPUTVERSION_H

#include "convertresult.h"
#include "imagesource.h"
#include "outputplan.h"
#include "remarks.h"

#include <QByteArray>
#include <QSize>
#include <QString>

class QIODevice;

namespace Convert {

class TextSink;

// What the engine's face needs of an LVGL version: the problems of a plan,
// the size limits, the .bin bytes and the C text of a source, and what the
// encoding remarks on. One implementation per version (lvgl8output.h,
// lvgl9output.h), chosen once from the plan with of(); the face then walks
// the stages without asking the version again. Implementations keep no
// state, so one object serves every thread.
class OutputVersion
{
public:
    // The implementation for plan.lvgl().
    static const OutputVersion &of(const OutputPlan &plan);

    virtual ~OutputVersion() = default;

    // Why plan cannot be written (no format, a RAW .bin, RGB565A8 at
    // depth 8, a bad stride alignment...), or an empty string.
    virtual QString problem(const OutputPlan &plan) const = 0;
    // The library name of the plan's format, such as "RAW_ALPHA".
    virtual const char *formatName(const OutputPlan &plan) const = 0;
    // The palette entries of plan's format; 0 for a format without one.
    virtual int paletteEntries(const OutputPlan &plan) const = 0;
    // The largest width and height a source may have.
    virtual int maxSide() const = 0;
    // Whether a source of this size fits the header of plan's format;
    // path only names the file in the result.
    virtual ConvertResult checkSize(const OutputPlan &plan, QSize size,
                                    const QString &path) const = 0;
    // The whole .bin of source, made in one buffer.
    virtual QByteArray binary(const OutputPlan &plan, const SourceImage &source,
                              Remarks *remarks) const = 0;
    // Writes the C file of source to device, symbol naming its arrays.
    virtual bool writeC(const OutputPlan &plan, const SourceImage &source, const QByteArray &symbol,
                        QIODevice *device, QString *error, Remarks *remarks) const = 0;

    // A C file of several images (a frame set, frameset.h), in pieces: the
    // head once (banner, include and attribute lines; attribute names the
    // file's attribute macro where the version has one), then each image's
    // array and descriptor named symbol (no array when sharedData names an
    // earlier image's, which the descriptor then points to), then the end
    // marker. Each image's lines are those writeC() writes for it alone.
    virtual void writeCHead(const OutputPlan &plan, const QByteArray &attribute,
                            TextSink &out) const = 0;
    virtual void writeCImage(const OutputPlan &plan, const SourceImage &source,
                             const QByteArray &symbol, const QByteArray &attribute,
                             const QByteArray &sharedData, TextSink &out,
                             Remarks *remarks) const = 0;
    virtual void writeCEnd(TextSink &out) const = 0;

protected:
    OutputVersion() = default;
    Q_DISABLE_COPY(OutputVersion)
};

} // namespace Convert

#endif // OUTPUTVERSION_H
