#ifndef DECODEHARNESS_H
#define DECODEHARNESS_H

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// The fuzz harness of the image decoder (lvgldecoder.h): arbitrary bytes go
// in as a .bin or as C source, with arbitrary device settings, and what
// comes out is checked against the decoder's promises. The libFuzzer
// target fuzz_decode and the regression test both drive it.
//
// Layout of one input:
//   0      bits 0-1  how the rest is read: 0 a .bin, version detected;
//                    1 a v8 .bin; 2 a v9 .bin; 3 C source
//          bits 2-3  LV_COLOR_DEPTH: 0 as the file needs, 1 8, 2 16, 3 32
//          bit 4     LV_COLOR_16_SWAP
//          bit 5     a background (otherwise the alpha is kept)
//   1...   the file
// An empty input is an empty .bin.
namespace DecodeHarness {

enum class Mode { Binary = 0, BinaryV8 = 1, BinaryV9 = 2, Source = 3 };

// The input that reads file in that mode at that depth (0, 8, 16 or 32).
QByteArray makeInput(Mode mode, const QByteArray &file, int depth = 0, bool swap = false,
                     bool background = false);

// Runs the decoder on one input. Returns an empty string when every
// promise holds, otherwise a description of the first broken one:
// - a consistent file gives an image of its size (RAW formats: of the
//   embedded file's), in ARGB32, or RGB32 over a background, and facts
//   that fit the input; an inconsistent one gives a reason and no image;
// - decoding the same input twice gives the same result;
// - a v8 .bin read as the file needs reads the same at the depth that
//   was found for it.
QString check(const uchar *data, size_t size);

// Why the decoder finds the input's file inconsistent; empty when it is not.
QString decodeError(const QByteArray &input);

// Inputs that decode as consistent files: every v8 format as C and .bin
// at every depth, written by the engine; every v9 format by hand,
// uncompressed, RLE and LZ4; C sources as other tools write them.
QVector<QByteArray> seeds();
// PNG and JPEG sources, which check() decodes as sources: each colour type
// Qt writes.
QVector<QByteArray> sourceSeeds();

} // namespace DecodeHarness

#endif // DECODEHARNESS_H
