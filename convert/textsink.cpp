#include "textsink.h"

#include <QIODevice>

#include <cstring>

namespace Convert {

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
    if (m_device->write(m_buffer.get(), length) != length) {
        m_ok = false;
        m_error = m_device->errorString();
    }
}

bool TextSink::finish()
{
    flushBlock();
    return m_ok;
}

} // namespace Convert
