#ifndef LVGLDECODING_H
#define LVGLDECODING_H

// One decode of one image: the header's facts, the sizes, the pixels.

#include "imagesource.h"
#include "lvgldecoder.h"
#include "lvglformattable.h"
#include "lvglpixels.h"

#include <vector>

namespace Convert {

class CArrayReader;

namespace Decoder {

struct Header
{
    int version = 0;
    int cf = 0;
    int flags = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
};

class Decoding
{
public:
    Decoding(const DeviceSettings &device, bool fromC)
        : m_device(device)
    {
        m_result.info.fromC = fromC;
    }

    LvglDecodeResult take() { return std::move(m_result); }
    LvglImageInfo &info() { return m_result.info; }
    bool fail(const QString &error)
    {
        if (m_result.error.isEmpty())
            m_result.error = error;
        m_result.image = QImage();
        return false;
    }
    void warn(const QString &warning) { m_result.info.warnings << warning; }
    // A way the picture differs from what the device draws: a warning, and
    // a note for the preview.
    void notePreview(const QString &note)
    {
        warn(note);
        m_result.info.previewNotes << note;
    }

    // Records the header's facts; false for an unknown cf or a zero side.
    bool readHeader(const Header &header);
    // data holds the first bytes of the present ones (all of them from a C
    // array). The sizes are judged from present; the bytes are read only
    // when they are all there, otherwise the decode stops with needsData().
    bool decodeV8(const QByteArray &data, qint64 present, qint64 dataSize);
    bool decodeV9(const QByteArray &data, qint64 present, qint64 dataSize);
    // The file is consistent so far, and the rest of its bytes are needed.
    bool needsData() const { return m_needsData; }
    // Chroma-keyed formats: which pixels were opaque and took the key's
    // value, row by row.
    const std::vector<bool> &keyed() const { return m_keyed; }

    // The depth a v8 true-colour image of this many bytes is packed for,
    // or 0 when its size fits none.
    static int fittingDepth(const FormatRow &row, int width, int height, qint64 bytes);
    const FormatRow *format() const { return m_format; }

private:
    bool needData()
    {
        m_needsData = true;
        return false;
    }
    bool checkDataSize(qint64 dataSize, qint64 present);
    bool decodeRaw(const QByteArray &data, qint64 present, qint64 dataSize);
    bool decodeGif(const QByteArray &data);
    void showRawAtDepth8(ImageKind kind, QRgb *line, int width) const;
    bool render(const uchar *pixels, qint64 stride, const uchar *alphaPlane, qint64 alphaStride,
                Packing packing);
    void finishPixel(QRgb *line, int width, QImage *image, int y);

    const DeviceSettings &m_device;
    LvglDecodeResult m_result;
    const FormatRow *m_format = nullptr;
    Reduction m_reduction = Reduction::None;
    const uchar *m_palette = nullptr;
    bool m_needsData = false;
    std::vector<bool> m_keyed;
};

// The image of the descriptor reader reads (its image()), with every
// depth section it holds (lvglsourcedecoder.cpp).
LvglDecodeResult decodeDescriptor(const CArrayReader &reader, const DeviceSettings &device,
                                  LvglVersion version);
// A frame set (lvgldecoder.h): every frame decoded as decodeDescriptor()
// does, and the count, the delays and the duration checked against each
// other (lvglframeset.cpp).
LvglDecodeResult decodeFrameSet(const CArrayReader &reader, const DeviceSettings &device,
                                LvglVersion version);

// LV_COLOR_DEPTH n, with LV_COLOR_16_SWAP where swap is set.
QString depthName(int depth, bool swap);
// The warning for opaque pixels that take the chroma key's value at depth
// 8 or 16 and so are not drawn. nearOnly: they are known not to be the key
// colour itself (a C array's depth-32 section says so).
QString keyWarning(int depth, bool swap, qint64 count, QRgb key, bool nearOnly);
qint64 countOf(const std::vector<bool> &bits);

} // namespace Decoder
} // namespace Convert

#endif // LVGLDECODING_H
