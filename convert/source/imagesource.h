#ifndef IMAGESOURCE_H
#define IMAGESOURCE_H

#include "convertresult.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

// Reading source images without trusting them.
//
// The kinds decoded are the rows of imagekinds.cpp, recognised by their first bytes and
// never by the file name. A source must be a regular file (after following
// links); anything else is refused before it is opened, so a FIFO or a
// terminal never blocks a conversion. The image's size is read from the
// header first and checked against the output's limit and the decoding
// budget (formats.h) before a single pixel is decoded. The decoders'
// complaints are caught per file: data that ends early or that a decoder
// calls corrupt makes the source fail, other remarks become notes on the
// result. The decoded image never holds memory that the decoder did not
// write.
namespace Convert {

enum class ImageKind { Unknown, Png, Jpeg, Bmp, Webp, Gif, Svg };

// What the header of a source says.
struct ImageProbe
{
    ImageKind kind = ImageKind::Unknown;
    QSize size; // width and height from the header
    // Bytes one pixel takes once decoded, with what the decoder holds beside
    // the image (8 for 16-bit PNGs and lossless WebP, 16 for a WebP
    // animation, else 4), for the decoding budget.
    int decodedBytesPerPixel = 4;
};

// What a caller asks of a decode beyond the file itself.
struct DecodeRequest
{
    // The output's limit on width and height (0 for none beyond the
    // budget): a larger image fails with TooLarge before it is read in full.
    int maxSide = 0;
    // The size wanted for an image whose own size (from its header) is
    // given, when the transforms make one: a kind drawn at any size (SVG)
    // is rendered at it, and a kind that can decode at a reduced scale
    // (JPEG) may decode at the smallest scale that still covers it. Unset:
    // the own size.
    std::function<QSize(QSize)> wantedSize;
    // Only the kinds that the window opens are read; any other content is
    // NotAnImage, as it always was there.
    bool windowKindsOnly = false;
};

// A decoded source.
struct SourceImage
{
    ImageKind kind = ImageKind::Unknown;
    QByteArray bytes; // the file's content, unchanged
    QImage image; // null for a source read by readEmbeddedSource()
    QSize size; // the image's width and height
};

// A source larger than this is not read at all. The largest file that fits
// the decoding budget (formats.h) without extra data is an uncompressed BMP
// or a stored 16-bit PNG of 256 MiB of pixels plus a few headers, so only a
// file that carries hundreds of megabytes of something else is refused.
constexpr qint64 MaxSourceBytes = qint64(512) << 20;

// Reads all of path, which must be a regular file (after following links):
// anything else is refused as NotRegularFile without being opened, so a
// FIFO never blocks. The kernel's files (/proc, /sys) count as not regular. A file larger than
// maxBytes is refused unread. Other failures: ReadFailed.
ConvertResult readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes);
// The first maxBytes of path (all of a smaller file) and the file's size,
// with the same checks.
ConvertResult readRegularFileHead(const QString &path, qint64 maxBytes, QByteArray *head,
                                  qint64 *size);

// The kind of image that data starts with.
ImageKind sniffImageKind(const QByteArray &head);

// Reads only as much of path as its header needs (a few kilobytes for
// most files). Fails with NotRegularFile, ReadFailed, NotAnImage or Corrupt
// (a header that is cut short or impossible).
ConvertResult probeImage(const QString &path, ImageProbe *probe);

// The same for a whole file already in memory; path only names it in the
// result.
ConvertResult probeImageData(const QByteArray &data, const QString &path, ImageProbe *probe);

// Whether an image of this probe fits the decoding budget.
bool withinDecodeBudget(const ImageProbe &probe);

// Reads and decodes path. maxSide is the output's limit on width and height
// (0 for none beyond the budget): a larger image fails with TooLarge, with
// the limit in the result, before it is read in full; one past the budget
// fails with OverBudget. Other failures: NotRegularFile, ReadFailed,
// NotAnImage, Corrupt. A successful result may carry notes. Thread-safe.
ConvertResult readSourceImage(const QString &path, int maxSide, SourceImage *source);
ConvertResult readSourceImage(const QString &path, const DecodeRequest &request,
                              SourceImage *source);

// Reads path to embed it as it is, for the library's own PNG and JPEG
// decoders and its GIF player (the RAW formats). The header gives the kind and the size, and
// maxSide applies; the decoding budget does not, since nothing is decoded
// here. The data is checked whole instead: a PNG's chunks, their CRCs and
// every row of its compressed image data, a JPEG's segments and scans up
// to its end marker, a GIF's blocks and every frame's compressed rows;
// data that ends early or is corrupt fails as Corrupt. source->image stays
// null. A BMP is decoded as readSourceImage() does.
ConvertResult readEmbeddedSource(const QString &path, int maxSide, SourceImage *source);

// Decodes data already in memory, with the same checks; path only names
// the source in the result.
ConvertResult decodeImageData(const QByteArray &data, const QString &path, int maxSide,
                              SourceImage *source);
ConvertResult decodeImageData(const QByteArray &data, const QString &path,
                              const DecodeRequest &request, SourceImage *source);

} // namespace Convert

#endif // IMAGESOURCE_H
