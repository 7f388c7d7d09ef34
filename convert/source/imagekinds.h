#ifndef IMAGEKINDS_H
#define IMAGEKINDS_H

#include "headerreader.h"
#include "imagesource.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

// The input kinds, one row each. A new kind is one row in imagekinds.cpp and
// one file with its sniff and its header probe; the reading code, the
// command line's directory scan, its help texts and the window's file lists
// all read this table.
namespace Convert {

// What a kind's decoder is given.
struct DecodeInput
{
    const QByteArray &data;
    const ImageProbe &probe;
    // The size wanted (the probe's size when no transform asks for another).
    QSize wanted;
    const QString &path; // names the source in the result
};

struct ImageKindRow
{
    ImageKind kind;
    const char *name; // as messages name it: "PNG"
    // File name suffixes in lower case, the usual one first; nullptr ends
    // the list.
    const char *suffixes[4];
    // Whether a file starting with the size bytes at head is of this kind;
    // Reading::SniffBytes are enough for every kind but SVG, whose prologue
    // may take up to Reading::SniffHeadBytes.
    bool (*sniff)(const uchar *head, int size);
    // Reads the size (and decoded depth) from the header.
    Reading::HeaderStatus (*readHeader)(Reading::HeaderReader &in, ImageProbe *probe,
                                        QString *detail);
    const char *readerFormat; // Qt's image handler; nullptr for a kind Qt does not decode
    bool window; // whether the window opens this kind
    // Decodes input.data, whose header gave input.probe, into *image, at
    // the probe's size or, for a kind that can, near input.wanted. Every
    // pixel of the image is written by the decoder or zero. Failures are
    // Corrupt (damaged data, data that ends early) or NotDecodable; remarks
    // of the decoder become notes on a successful result.
    ConvertResult (*decode)(const DecodeInput &input, QImage *image);
    // Checks a file to be embedded as it is (the RAW formats) without
    // decoding it; nullptr for a kind that the library cannot decode from
    // memory, which is decoded instead.
    ConvertResult (*checkEmbedded)(const QByteArray &data, const QString &path);
    // Whether the kind is drawn at any size (SVG): the decoding budget then
    // applies to the size wanted, not the one the header declares.
    bool rendered;
};

namespace Reading {
// Bytes every sniff needs to tell the kinds apart (up to a BMP's DIB header
// size).
constexpr int SniffBytes = 18;
// The head every sniff is given: one read of the header reader's window,
// which the first read of any header fetches whole anyway.
constexpr int SniffHeadBytes = HeaderReader::WindowSize;
} // namespace Reading

// The rows, in the order messages name the kinds; count is set to their
// number.
const ImageKindRow *imageKindRows(int *count);
// The row of kind; nullptr for ImageKind::Unknown.
const ImageKindRow *imageKindRow(ImageKind kind);
// Qt's handler name for kind, empty for ImageKind::Unknown.
QByteArray readerFormat(ImageKind kind);

// Every kind's suffixes (only the window's kinds if windowOnly), the kinds
// in alphabetical order of their names: bmp, gif, jpg, jpeg, png, svg, webp.
QStringList imageSuffixes(bool windowOnly = false);
// Whether fileName's suffix, in any case, is one of imageSuffixes().
bool hasImageSuffix(const QString &fileName, bool windowOnly = false);
// The kinds' names in table order: every kind, "PNG", "JPEG", "BMP",
// "WebP", "GIF", "SVG", as the command line names them; with windowOnly the
// window's "PNG", "JPEG", "BMP", as the window names what it opens. The
// default is that of imageSuffixes().
QStringList imageKindNames(bool windowOnly = false);

// items joined by separator, the last two by lastSeparator: ("a", "b",
// "c") with ", " and " or " gives "a, b or c".
QString joinedList(const QStringList &items, const QString &separator,
                   const QString &lastSeparator);

} // namespace Convert

#endif // IMAGEKINDS_H
