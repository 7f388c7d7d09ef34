#ifndef LVGLSOURCEFIELDS_H
#define LVGLSOURCEFIELDS_H

// The fields of a C image descriptor, evaluated with LVGL's names.

#include "carrayreader.h"
#include "lvglformattable.h"

namespace Convert {
namespace Decoder {

struct NameValue
{
    const char *name;
    int value;
};

// Evaluates the descriptor's fields with LVGL's names.
class SourceFields
{
public:
    SourceFields(const CArrayReader &reader, int depth)
        : m_reader(reader)
        , m_depth(depth)
    {
    }

    void setDepth(int depth) { m_depth = depth; }

    // The value of a field, or fallback when it is not given. false with
    // error on a value that cannot be read or lies outside [0, max].
    bool value(const char *name, qint64 max, qint64 fallback, qint64 *v, QString *error)
    {
        const CImageSource::Field *field = m_reader.field(name);
        if (!field) {
            *v = fallback;
            return true;
        }
        const CArrayReader::Lookup lookup = [this](const QByteArray &id, qint64 *out) {
            return constant(id, out);
        };
        if (!m_reader.evaluate(field->value, lookup, v, error))
            return false;
        if (*v < 0 || *v > max) {
            *error = QStringLiteral("line %1: .%2 is %3, outside 0 to %4")
                         .arg(field->line)
                         .arg(QString::fromLatin1(name))
                         .arg(*v)
                         .arg(max);
            return false;
        }
        return true;
    }

    // A pointer field that must be NULL (or 0) where given.
    bool isNull(const char *name, QString *error)
    {
        const CImageSource::Field *field = m_reader.field(name);
        if (!field)
            return true;
        const CArrayReader::Lookup lookup = [](const QByteArray &id, qint64 *out) {
            *out = 0;
            return id == "NULL" || id == "nullptr";
        };
        qint64 v = 0;
        QString ignored;
        if (m_reader.evaluate(field->value, lookup, &v, &ignored) && v == 0)
            return true;
        *error = QStringLiteral("line %1: .%2 is '%3'; the reader takes only NULL there")
                     .arg(field->line)
                     .arg(QString::fromLatin1(name), m_reader.text(field->value));
        return false;
    }

    bool usedV8Names = false;
    bool usedV9Names = false;

private:
    bool constant(const QByteArray &name, qint64 *v)
    {
        static const NameValue v9Names[] = {
            {"LV_IMAGE_HEADER_MAGIC", V9Magic},
            {"LV_IMAGE_FLAGS_PREMULTIPLIED", FlagPremultiplied},
            {"LV_IMAGE_FLAGS_COMPRESSED", FlagCompressed},
        };
        for (const NameValue &n : v9Names) {
            if (name == n.name) {
                usedV9Names = true;
                *v = n.value;
                return true;
            }
        }
        if (name == "LV_COLOR_SIZE" || name == "LV_IMG_PX_SIZE_ALPHA_BYTE") {
            usedV8Names = true;
            const int d = m_depth;
            *v = name == "LV_COLOR_SIZE" ? d : (d == 32 ? 4 : d / 8 + 1);
            return true;
        }
        for (const FormatRow &row : formatTable) {
            if (libraryName(row).toLatin1() == name) {
                (row.version == 8 ? usedV8Names : usedV9Names) = true;
                *v = row.cf;
                return true;
            }
        }
        return false;
    }

    const CArrayReader &m_reader;
    int m_depth;
};

} // namespace Decoder
} // namespace Convert

#endif // LVGLSOURCEFIELDS_H
