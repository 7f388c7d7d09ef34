#include "quantizer.h"

// Placeholder until the quantizer lands: Qt's reduction for every size.
namespace Convert {

IndexedImage quantize(const QImage &image, int colors, QuantizerKind, bool)
{
    IndexedImage result;
    result.indices = image.convertToFormat(QImage::Format_Indexed8);
    result.palette = result.indices.colorTable();
    if (result.palette.size() > colors)
        result.palette.resize(colors);
    return result;
}

} // namespace Convert
