#include "pngrewrite.h"

#include <cstring>

namespace Convert {
namespace Reading {

namespace {

void putBe32(uchar *p, quint32 v)
{
    p[0] = uchar(v >> 24);
    p[1] = uchar(v >> 16);
    p[2] = uchar(v >> 8);
    p[3] = uchar(v);
}

} // namespace

PngRewrite::PngRewrite(const QByteArray &data, const PngLayout &layout)
    : m_data(data)
    , m_layout(layout)
    , m_runs(pngRowRuns(layout.header))
    , m_filters(m_runs)
{
    for (const RowRun &run : qAsConst(m_runs))
        m_rowBytes += run.rows * run.bytes;
    m_blocks = qint64((m_rowBytes + StoredBlockBytes - 1) / StoredBlockBytes);
    m_blocksEnd = chunkStart(m_blocks - 1) + chunkSize(m_blocks - 1);
    m_size = m_blocksEnd + (layout.end - layout.idatEnd);
    std::memset(&m_stream, 0, sizeof m_stream);
    // A 32 KiB window whatever the stream's header claims, as libpng
    // reads for Qt (PNG_MAXIMUM_INFLATE_WINDOW).
    if (inflateInit2(&m_stream, 15) == Z_OK)
        m_streamReady = true;
    else
        m_check = pngFailure(PngCheck::Refused, QStringLiteral("out of memory"));
}

PngRewrite::~PngRewrite()
{
    if (m_streamReady)
        inflateEnd(&m_stream);
}

qint64 PngRewrite::readAt(qint64 offset, char *out, qint64 length)
{
    const auto *source = reinterpret_cast<const char *>(m_data.constData());
    const qint64 blocksStart = m_layout.idatStart;
    qint64 done = 0;
    while (done < length && offset + done < m_size) {
        const qint64 pos = offset + done;
        qint64 count;
        if (pos < blocksStart) {
            count = qMin(length - done, blocksStart - pos);
            std::memcpy(out + done, source + pos, size_t(count));
        } else if (pos < m_blocksEnd) {
            const qint64 k = chunkAt(pos);
            makeChunk(k);
            const qint64 inChunk = pos - chunkStart(k);
            count = qMin(length - done, m_chunk.size() - inChunk);
            std::memcpy(out + done, m_chunk.constData() + inChunk, size_t(count));
        } else {
            count = qMin(length - done, m_size - pos);
            std::memcpy(out + done, source + m_layout.idatEnd + (pos - m_blocksEnd), size_t(count));
        }
        done += count;
    }
    return done;
}

PngCheck PngRewrite::finish()
{
    makeChunk(m_blocks - 1);
    return m_check;
}

qint64 PngRewrite::chunkStart(qint64 k) const
{
    return m_layout.idatStart + k * FullChunk + (k > 0 ? 2 : 0);
}

quint32 PngRewrite::blockBytes(qint64 k) const
{
    return quint32(qMin<quint64>(StoredBlockBytes, m_rowBytes - quint64(k) * StoredBlockBytes));
}

qint64 PngRewrite::chunkSize(qint64 k) const
{
    return 12 + (k == 0 ? 2 : 0) + 5 + blockBytes(k) + (k == m_blocks - 1 ? 4 : 0);
}

qint64 PngRewrite::chunkAt(qint64 pos) const
{
    const qint64 k = pos < chunkStart(1) ? 0 : (pos - m_layout.idatStart - 2) / FullChunk;
    return qMin(k, m_blocks - 1);
}

void PngRewrite::fail(const QString &detail)
{
    if (m_check.outcome == PngCheck::Valid)
        m_check = pngFailure(PngCheck::Corrupt, detail);
}

void PngRewrite::makeChunk(qint64 k)
{
    if (k < m_chunkIndex)
        restart();
    while (m_chunkIndex < k) {
        const qint64 index = ++m_chunkIndex;
        const bool last = index == m_blocks - 1;
        const quint32 count = blockBytes(index);
        m_chunk.resize(int(chunkSize(index)));
        auto *p = reinterpret_cast<uchar *>(m_chunk.data());
        putBe32(p, quint32(m_chunk.size() - 12));
        std::memcpy(p + 4, "IDAT", 4);
        uchar *d = p + 8;
        if (index == 0) {
            *d++ = 0x78; // deflate, 32 KiB window
            *d++ = 0x01; // no dictionary, check bits
        }
        *d++ = last ? 1 : 0;
        d[0] = uchar(count);
        d[1] = uchar(count >> 8);
        d[2] = uchar(~count);
        d[3] = uchar(~count >> 8);
        d += 4;
        inflateRows(d, count);
        d += count;
        if (last) {
            checkStreamEnd();
            putBe32(d, quint32(m_adler));
            d += 4;
        }
        putBe32(d, quint32(crc32(0, p + 4, uInt(d - (p + 4)))));
    }
}

void PngRewrite::restart()
{
    if (m_streamReady)
        inflateReset(&m_stream);
    m_stream.avail_in = 0;
    m_span = 0;
    m_filters.reset();
    m_produced = 0;
    m_adler = adler32(0, nullptr, 0);
    m_chunkIndex = -1;
    m_ended = false;
    if (m_check.outcome == PngCheck::Corrupt)
        m_check = PngCheck();
}

bool PngRewrite::feed()
{
    if (m_span == m_layout.idat.size())
        return false;
    const auto &span = m_layout.idat.at(m_span++);
    m_stream.next_in = const_cast<Bytef *>(span.first);
    m_stream.avail_in = span.second;
    return true;
}

void PngRewrite::inflateRows(uchar *out, quint32 count)
{
    uchar *p = out;
    uInt left = count;
    while (left > 0 && m_check.outcome == PngCheck::Valid) {
        if (m_ended) {
            fail(QStringLiteral("the PNG image data ends early"));
            break;
        }
        if (m_stream.avail_in == 0 && !feed()) {
            fail(QStringLiteral("the PNG image data ends early"));
            break;
        }
        m_stream.next_out = p;
        m_stream.avail_out = left;
        const int ret = inflate(&m_stream, Z_NO_FLUSH);
        p += left - m_stream.avail_out;
        left = m_stream.avail_out;
        if (ret == Z_STREAM_END)
            m_ended = true;
        else if (ret != Z_OK && ret != Z_BUF_ERROR)
            fail(zlibFailure());
    }
    std::memset(p, 0, left);
    if (!m_filters.check(out, m_produced, count))
        fail(QStringLiteral("invalid PNG row filter"));
    m_adler = adler32(m_adler, out, count);
    m_produced += count;
}

void PngRewrite::checkStreamEnd()
{
    uchar scratch[4096];
    quint64 extra = 0;
    while (!m_ended && m_check.outcome == PngCheck::Valid) {
        if (m_stream.avail_in == 0 && !feed()) {
            fail(QStringLiteral("the PNG image data ends early"));
            break;
        }
        m_stream.next_out = scratch;
        m_stream.avail_out = sizeof scratch;
        const int ret = inflate(&m_stream, Z_NO_FLUSH);
        extra += sizeof scratch - m_stream.avail_out;
        if (extra > m_rowBytes + ExtraDataSlack)
            fail(QStringLiteral("far more PNG image data than the image needs"));
        else if (ret == Z_STREAM_END)
            m_ended = true;
        else if (ret != Z_OK && ret != Z_BUF_ERROR)
            fail(zlibFailure());
    }
}

QString PngRewrite::zlibFailure() const
{
    return QStringLiteral("the PNG image data is corrupt (%1)")
        .arg(QLatin1String(m_stream.msg ? m_stream.msg : "zlib error"));
}
} // namespace Reading
} // namespace Convert
