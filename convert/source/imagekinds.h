#ifndef IMAGEKINDS_H
#define IMAGEKINDS_H

#include "headerreader.h"
#include "imagesource.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The input kinds, one row each. A new kind is one row in imagekinds.cpp and
// one file with its sniff and its header probe; the reading code, the
// command line's directory scan, its help texts and the window's file lists
// all read this table.
namespace Convert {

struct ImageKindRow
{
    ImageKind kind;
    const char *name; // as messages name it: "PNG"
    // File name suffixes in lower case, the usual one first; nullptr ends
    // the list.
    const char *suffixes[4];
    // Whether a file starting with the size bytes at head is of this kind;
    // Reading::SniffBytes are enough for every kind.
    bool (*sniff)(const uchar *head, int size);
    // Reads the size (and decoded depth) from the header.
    Reading::HeaderStatus (*readHeader)(Reading::HeaderReader &in, ImageProbe *probe,
                                        QString *detail);
    const char *readerFormat; // Qt's image handler
    bool window; // whether the window opens this kind
};

namespace Reading {
// Bytes every sniff needs to tell the kinds apart (up to a BMP's DIB header
// size).
constexpr int SniffBytes = 18;
} // namespace Reading

// The rows, in the order messages name the kinds; count is set to their
// number.
const ImageKindRow *imageKindRows(int *count);
// The row of kind; nullptr for ImageKind::Unknown.
const ImageKindRow *imageKindRow(ImageKind kind);
// Qt's handler name for kind, empty for ImageKind::Unknown.
QByteArray readerFormat(ImageKind kind);

// Every kind's suffixes (only the window's kinds if windowOnly), the kinds
// in alphabetical order of their names: bmp, jpg, jpeg, png.
QStringList imageSuffixes(bool windowOnly = false);
// Whether fileName's suffix, in any case, is one of imageSuffixes().
bool hasImageSuffix(const QString &fileName, bool windowOnly = false);
// The kinds' names in table order: "PNG", "JPEG", "BMP".
QStringList imageKindNames();

// items joined by separator, the last two by lastSeparator: ("a", "b",
// "c") with ", " and " or " gives "a, b or c".
QString joinedList(const QStringList &items, const QString &separator,
                   const QString &lastSeparator);

} // namespace Convert

#endif // IMAGEKINDS_H
