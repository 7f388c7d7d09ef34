#ifndef GIFREADER_H
#define GIFREADER_H

#include <convertresult.h>

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

#include <memory>

struct GifFileType;

// What the GIF decoders share: a walk over the file's blocks that reads
// every frame's header without decompressing a pixel, and giflib reading
// frames one at a time from memory. The block layout is in gifdecode.h.
namespace Convert {
namespace Reading {

// One frame as its blocks describe it.
struct GifFrameHeader
{
    QRect rect; // its place on the canvas
    // From the graphic control extension before it (F9: a 4-byte block of
    // flags, whose bits 2-4 are the disposal method and bit 0 says a
    // transparent index is given; the delay u16 in 10 ms steps; the
    // transparent index u8).
    int disposal = 0;
    int delayCs = 0;
    int transparent = -1;
    bool interlaced = false;
    bool localTable = false;
};

// What the blocks of a whole GIF say.
struct GifLayout
{
    QByteArray version; // "87a" or "89a"
    QSize canvas;
    bool globalTable = false;
    // The NETSCAPE2.0 application extension (FF, an 11-byte block
    // "NETSCAPE2.0", then a 3-byte block 01 and the count u16): how often
    // the animation plays, 0 for ever; 1 without it.
    int loopCount = 1;
    QVector<GifFrameHeader> frames;
};

// Walks the blocks of data from pos to the trailer, without decoding them.
// Empty when they are whole, else what is wrong ("the data ends early").
// With a layout, every frame's header and the loop count go into it.
QString walkGifBlocks(const uchar *data, qint64 size, qint64 pos, GifLayout *layout);

// The header, the global colour table and every block of a whole GIF.
// Empty when it is whole, else what is wrong.
QString readGifLayout(const QByteArray &data, GifLayout *layout);

// Reads the frames of a GIF in memory with giflib, one at a time.
class GifFrameReader
{
public:
    GifFrameReader(const QByteArray &data, const QString &path);
    ~GifFrameReader();
    Q_DISABLE_COPY(GifFrameReader)

    ConvertResult open();
    QSize canvas() const;
    // Reads the blocks up to the next image's descriptor, and the
    // transparent index its graphic control extension gives (-1 for
    // none). *found is false at the trailer.
    ConvertResult nextImage(bool *found, int *transparent);
    // The descriptor of the image just found.
    QRect imageRect() const;
    // Decompresses the image just found and draws its pixels (every index
    // but the transparent one and those past its colour table) onto
    // canvas, an ARGB32 or RGB32 image of the canvas size; with a null
    // canvas the rows are read and dropped, which checks the data whole.
    // which names the frame in messages ("the first frame").
    ConvertResult drawImage(int transparent, const QString &which, QImage *canvas);
    // How far giflib has read: where the blocks it finished end.
    qint64 position() const;

private:
    ConvertResult failed(int error) const;

    struct Memory
    {
        const uchar *data;
        qint64 size;
        qint64 pos;
    };
    static int readMemory(GifFileType *gif, unsigned char *out, int length);

    QByteArray m_data;
    QString m_path;
    Memory m_memory;
    GifFileType *m_gif = nullptr;
};

} // namespace Reading
} // namespace Convert

#endif // GIFREADER_H
