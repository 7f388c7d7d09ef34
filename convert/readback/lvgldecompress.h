#ifndef LVGLDECOMPRESS_H
#define LVGLDECOMPRESS_H

// The v9 compression methods, RLE and LZ4.

#include <QString>
#include <QtGlobal>

namespace Convert {
namespace Decoder {

// Expands an RLE stream (see lvgldecoder.h) of block-byte blocks into out,
// which it must fill exactly; false with error otherwise.
bool rleDecode(const uchar *in, qint64 inLength, int block, uchar *out, qint64 outLength,
               QString *error);
// Expands a raw LZ4 block into out, which it must fill exactly.
bool lz4Decode(const char *in, qint64 inLength, char *out, qint64 outLength, QString *error);

} // namespace Decoder
} // namespace Convert

#endif // LVGLDECOMPRESS_H
