#ifndef FUZZHARNESS_H
#define FUZZHARNESS_H

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>
#include <QtGlobal>

// The engine's fuzz harness: turns arbitrary bytes into an image and an
// image name, runs every output through Convert::encodeImage and checks the
// result against the reference encoder and the engine's own promises. The
// libFuzzer target and the regression test both drive it.
//
// Layout of one input (bytes past the end read as 0):
//   0      bits 0-1  size range: 0 or 1  width  = byte 1 % 65, height = byte 2 % 65
//                                2       width  = 2040 + byte 1 % 21, height = 1 + byte 2 % 2
//                                3       width  = 1 + byte 1 % 2, height = 2040 + byte 2 % 21
//          bits 2-3  name bytes as: 0 UTF-8, 1 UTF-16 code units (little-endian,
//                    lone surrogates allowed), 2 Latin-1, 3 no name at all
//          bit 4     give indexed formats a colour table
//   1, 2   width and height selectors
//   3      pixel format: byte % QImage::NImageFormats (0, Format_Invalid, is a null image)
//   4, 5   colour table entries: (byte 4 | byte 5 << 8) % 301
//   6      name length in bytes: byte % 48
//   7...   the name bytes, then the colour table (4 bytes an entry, 0xAARRGGBB
//          big-endian), then the scanlines, padding included. The bytes after
//          the name are used round and round until both are filled (zeros
//          when there are none).
namespace FuzzHarness {

constexpr int MaxSmallSide = 64;
constexpr int MaxColorTable = 300;
constexpr int MaxNameBytes = 47;

enum class NameEncoding { Utf8 = 0, Utf16 = 1, Latin1 = 2, None = 3 };

// What one input stands for.
struct Case
{
    QImage image; // null for a zero side or Format_Invalid
    QString name;
};

Case decode(const uchar *data, size_t size);

// The input that decodes to an image of the given size and format (size
// within one of the three ranges above), with colorTable set on indexed
// formats when given, and the name bytes read in the given encoding. The
// bytes after the name are the colour table and then pixelBytes. Returns an
// empty array for a size no range covers.
QByteArray makeInput(int width, int height, QImage::Format format, const QByteArray &pixelBytes,
                     NameEncoding encoding = NameEncoding::Utf8,
                     const QByteArray &nameBytes = QByteArray(),
                     const QVector<QRgb> *colorTable = nullptr);

// Runs the checks on one case. Returns an empty string when every check
// holds, otherwise a description of the first violation.
QString check(const Case &fuzzCase);

// Drops Qt's "... out of range" warnings, which reading pixels whose index
// lies past the colour table produces on purpose, and hands every other
// message to the handler that was installed before. Restores that handler
// when destroyed.
class ScopedMessageFilter
{
public:
    ScopedMessageFilter();
    ~ScopedMessageFilter();
    Q_DISABLE_COPY(ScopedMessageFilter)

private:
    QtMessageHandler m_previous;
};

} // namespace FuzzHarness

#endif // FUZZHARNESS_H
