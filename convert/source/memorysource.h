#ifndef MEMORYSOURCE_H
#define MEMORYSOURCE_H

#include "bytesource.h"

#include <QByteArray>

#include <cstring>

namespace Convert {
namespace Reading {

class MemorySource : public ByteSource
{
public:
    explicit MemorySource(const QByteArray &data)
        : m_data(data)
    {
    }

    qint64 readAt(qint64 offset, char *out, qint64 length) override
    {
        const qint64 count = qBound<qint64>(0, m_data.size() - offset, length);
        if (count > 0)
            std::memcpy(out, m_data.constData() + offset, size_t(count));
        return count;
    }

private:
    const QByteArray &m_data;
};

} // namespace Reading
} // namespace Convert

#endif // MEMORYSOURCE_H
