#include "convertresult.h"

#include "formats.h"

#include <QDir>

namespace Convert {

ConvertResult::ConvertResult(Status status, const QString &path, const QString &detail, QSize size)
    : m_status(status)
    , m_path(path)
    , m_detail(detail)
    , m_size(size)
{
}

ConvertResult ConvertResult::notDecodable(const QString &path, const QString &detail)
{
    return ConvertResult(NotDecodable, path, detail);
}

ConvertResult ConvertResult::tooLarge(const QString &path, QSize size)
{
    return ConvertResult(TooLarge, path, QString(), size);
}

ConvertResult ConvertResult::noWriter(const QString &path, int outputFormat, int colorFormat)
{
    return ConvertResult(NoWriter, path,
                         QStringLiteral("output format %1, color format %2")
                             .arg(QString::number(outputFormat), QString::number(colorFormat)));
}

ConvertResult ConvertResult::openFailed(const QString &path, const QString &detail)
{
    return ConvertResult(OpenFailed, path, detail);
}

ConvertResult ConvertResult::writeFailed(const QString &path, const QString &detail)
{
    return ConvertResult(WriteFailed, path, detail);
}

QString ConvertResult::reason() const
{
    switch (m_status) {
    case Ok:
        return QString();
    case NotDecodable:
        return m_detail.isEmpty() ? QStringLiteral("cannot be decoded")
                                  : QStringLiteral("cannot be decoded (%1)").arg(m_detail);
    case TooLarge:
        return QStringLiteral("the image is %1 x %2 pixels; an LVGL image can be at most %3 x %3")
            .arg(QString::number(m_size.width()), QString::number(m_size.height()),
                 QString::number(MaxImageSide));
    case NoWriter:
        return QStringLiteral("no writer for %1").arg(m_detail);
    case OpenFailed:
        return QStringLiteral("cannot be opened for writing (%1)").arg(m_detail);
    case WriteFailed:
        return QStringLiteral("cannot be written (%1)").arg(m_detail);
    }
    return QString();
}

QString ConvertResult::message() const
{
    if (m_path.isEmpty())
        return reason();
    return QDir::toNativeSeparators(m_path) + QStringLiteral(": ") + reason();
}

} // namespace Convert
