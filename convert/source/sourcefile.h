#ifndef SOURCEFILE_H
#define SOURCEFILE_H

#include "bytesource.h"

#include <convertresult.h>

#include <QByteArray>
#include <QString>

#include <memory>

#ifndef Q_OS_UNIX
#include <QFile>
#endif

namespace Convert {
namespace Reading {

// An open source file: a regular file, checked before and after opening.
class SourceFile
{
public:
    SourceFile() = default;
    ~SourceFile();
    Q_DISABLE_COPY(SourceFile)

    // Opens path if it is a regular file: refused as NotRegularFile (a FIFO
    // or a device without being opened), else ReadFailed on failure.
    ConvertResult open(const QString &path);

    ByteSource *source() const { return m_source.get(); }

    // The whole file, refused when it is larger than maxBytes.
    ConvertResult readAll(const QString &path, qint64 maxBytes, QByteArray *bytes);
    qint64 size() const { return m_size; }

private:
#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    QFile m_file;
#endif
    qint64 m_size = 0;
    std::unique_ptr<ByteSource> m_source;
};

} // namespace Reading
} // namespace Convert

#endif // SOURCEFILE_H
