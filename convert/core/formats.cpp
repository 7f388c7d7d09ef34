#include "formats.h"

namespace Convert {

QString outputExtension(OutputFormat format)
{
    return format == CArray ? QStringLiteral(".c") : QStringLiteral(".bin");
}

QString displayName(OutputFormat format)
{
    switch (format) {
    case CArray:
        return QStringLiteral("C array");
    case BinaryRgb332:
        return QStringLiteral("Binary RGB332");
    case BinaryRgb565:
        return QStringLiteral("Binary RGB565");
    case BinaryRgb565Swap:
        return QStringLiteral("Binary RGB565 Swap");
    case BinaryRgb888:
        return QStringLiteral("Binary RGB888");
    }
    return QString();
}

QString displayName(ColorFormat format)
{
    switch (format) {
    case TrueColor:
        return QStringLiteral("True color");
    case TrueColorAlpha:
        return QStringLiteral("True color with alpha");
    case TrueColorChromaKeyed:
        return QStringLiteral("True color chroma keyed");
    case Indexed256:
        return QStringLiteral("Indexed 256 colors");
    }
    return QString();
}

} // namespace Convert
