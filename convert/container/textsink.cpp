#include "textsink.h"

#include "hextext.h"

#include <QIODevice>

#include <cstring>

namespace Convert {

QString shortWriteError(const QIODevice *device, qint64 written, qint64 length)
{
    // A write that stops part-way (a full disk, a file size limit) leaves no
    // error string behind; say what happened instead of "Unknown error".
    if (written < 0)
        return device->errorString();
    return QStringLiteral("only %1 of %2 bytes could be written")
        .arg(QString::number(written), QString::number(length));
}

TextSink::TextSink(QIODevice *device)
    : m_device(device)
    , m_buffer(new char[BlockSize])
    , m_pos(m_buffer.get())
    , m_end(m_buffer.get() + BlockSize)
{
}

TextSink::~TextSink() = default;

void TextSink::append(const char *text, int length)
{
    while (length > 0) {
        const int chunk = qMin(length, BlockSize);
        char *p = reserve(chunk);
        std::memcpy(p, text, size_t(chunk));
        commit(p + chunk);
        text += chunk;
        length -= chunk;
    }
}

void TextSink::appendHexLine(const uchar *bytes, int count)
{
    char *p = reserve(2 + count * HexByteChars + 1 + HexSlack);
    *p++ = ' ';
    *p++ = ' ';
    for (int i = 0; i < count; ++i)
        p = putHex(p, bytes[i]);
    *p++ = '\n';
    commit(p);
}

void TextSink::appendLine(const char *text)
{
    append(text, int(std::strlen(text)));
    append("\n", 1);
}

void TextSink::appendLine(const QByteArray &text)
{
    append(text.constData(), text.size());
    append("\n", 1);
}

void TextSink::flushBlock()
{
    const qint64 length = m_pos - m_buffer.get();
    m_pos = m_buffer.get();
    if (!m_ok || length == 0)
        return;
    const qint64 written = m_device->write(m_buffer.get(), length);
    if (written != length) {
        m_ok = false;
        m_error = shortWriteError(m_device, written, length);
    }
}

bool TextSink::finish()
{
    flushBlock();
    return m_ok;
}

} // namespace Convert
