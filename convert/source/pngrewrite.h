#ifndef PNGREWRITE_H
#define PNGREWRITE_H

#include "bytesource.h"
#include "filtertypecheck.h"
#include "pngchunks.h"

#include <zlib.h>

namespace Convert {
namespace Reading {

// PNG: checked, and the image data handed on re-framed
//
// libpng reports what it cannot read through its error callback, and
// neither Qt 5.15 nor Qt 6.4 installs one: libpng's default one prints
// "libpng error: ..." to the process's stderr, past any Qt message handler.
// So libpng must never meet data it would fail on. Every chunk is checked
// first: complete, of a valid type, within libpng's size limits, with a
// correct CRC if it is critical (libpng only warns about an ancillary one),
// in an order libpng accepts, IEND present. The image data is then not
// handed on as it is: it is inflated here, once, its rows checked, and
// given to Qt as stored (uncompressed) deflate blocks. Whatever the source
// holds, libpng sees a well-formed stream with every row it needs, and
// inflating stored blocks costs it no more than a copy, so checking the
// data costs about one inflate in all. Should the source's stream prove
// damaged part way, the remaining rows go to libpng as zeros and the source
// fails.
//
// The PNG that Qt decodes: the source's bytes up to its first IDAT chunk;
// then for each block k of n, one IDAT chunk: u32 length, "IDAT", the zlib
// header 78 01 (k = 0 only), the stored block header (final flag u8, LEN u16
// and ~LEN u16, little-endian), LEN (at most 65535) bytes of rows, the
// big-endian Adler-32 of all rows (k = n - 1 only), the chunk's CRC-32; then
// the source's bytes from the end of its last IDAT chunk to the end of IEND.

constexpr quint32 StoredBlockBytes = 65535; // the most a stored block holds
// Inflated data accepted after the last row: as much again as the rows, and
// this much more.
constexpr quint64 ExtraDataSlack = 64 * 1024;

// The PNG that Qt decodes (see above), made as Qt reads it. Its IDAT
// chunks are made one at a time, each from the next rows inflated from the
// source; should Qt read one again, the source is inflated again from the
// start.
class PngRewrite : public ByteSource
{
public:
    PngRewrite(const QByteArray &data, const PngLayout &layout);

    ~PngRewrite() override;
    Q_DISABLE_COPY(PngRewrite)

    qint64 size() const { return m_size; }

    qint64 readAt(qint64 offset, char *out, qint64 length) override;

    // Inflates what Qt did not read and says whether the source's image
    // data was sound: one complete zlib stream, its Adler-32 included,
    // holding every row with a valid filter type. More data after the rows
    // is accepted as libpng accepts it, up to as much again as the rows, so
    // that a tiny image cannot hide a zlib bomb.
    PngCheck finish();

private:
    // Chunks 0 .. n - 2 are full blocks; chunk 0 also holds the zlib header.
    static constexpr qint64 FullChunk = 12 + 5 + StoredBlockBytes;

    qint64 chunkStart(qint64 k) const;

    quint32 blockBytes(qint64 k) const;

    qint64 chunkSize(qint64 k) const;

    qint64 chunkAt(qint64 pos) const;

    void fail(const QString &detail);

    // Makes chunk k the one in m_chunk, inflating the rows up to it.
    void makeChunk(qint64 k);

    void restart();

    // Feeds the next IDAT chunk's data to the inflater; false if none is left.
    bool feed();

    // Inflates the next count bytes of rows into out; zeros where the
    // source has none to give.
    void inflateRows(uchar *out, quint32 count);

    // After the last row: the source's stream must end, soon.
    void checkStreamEnd();

    QString zlibFailure() const;

    const QByteArray &m_data;
    const PngLayout &m_layout;
    const RowRuns m_runs;
    FilterTypeCheck m_filters;
    quint64 m_rowBytes = 0;
    qint64 m_blocks = 0;
    qint64 m_blocksEnd = 0;
    qint64 m_size = 0;
    z_stream m_stream;
    bool m_streamReady = false;
    size_t m_span = 0; // the next IDAT chunk to feed
    bool m_ended = false; // the source's stream has ended
    quint64 m_produced = 0;
    uLong m_adler = adler32(0, nullptr, 0);
    qint64 m_chunkIndex = -1; // the chunk in m_chunk
    QByteArray m_chunk;
    PngCheck m_check;
};

} // namespace Reading
} // namespace Convert

#endif // PNGREWRITE_H
