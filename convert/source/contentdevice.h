#ifndef CONTENTDEVICE_H
#define CONTENTDEVICE_H

#include "bytesource.h"

#include <QIODevice>

namespace Convert {
namespace Reading {

// A read-only, random-access device over a source's content that notes
// every read asking for bytes past its end. Qt's JPEG handler reads a
// QBuffer's memory directly, bypassing readData, so this is not one.
class ContentDevice : public QIODevice
{
public:
    ContentDevice(ByteSource *content, qint64 size)
        : m_content(content)
        , m_size(size)
    {
    }
    Q_DISABLE_COPY(ContentDevice)

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }
    bool seek(qint64 pos) override { return pos <= m_size && QIODevice::seek(pos); }

    // A read asked for more than was left (it came back short or empty).
    bool readPastEnd() const { return m_readPastEnd; }
    // A read found nothing left at all.
    bool readAtEnd() const { return m_readAtEnd; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 left = qMax<qint64>(0, m_size - pos());
        const qint64 count = qMin(maxSize, left);
        if (count < maxSize)
            m_readPastEnd = true;
        if (left == 0 && maxSize > 0)
            m_readAtEnd = true;
        return count > 0 ? m_content->readAt(pos(), data, count) : 0;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ByteSource *m_content;
    qint64 m_size;
    bool m_readPastEnd = false;
    bool m_readAtEnd = false;
};
} // namespace Reading
} // namespace Convert

#endif // CONTENTDEVICE_H
