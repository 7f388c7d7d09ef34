#include "convertresult.h"

#include "filepath.h"
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
    ConvertResult result(TooLarge, path, QString(), size);
    result.m_limit = MaxImageSide;
    return result;
}

ConvertResult ConvertResult::noWriter(const QString &path, int outputFormat, int colorFormat)
{
    return ConvertResult(NoWriter, path,
                         QStringLiteral("no writer for output format %1, color format %2")
                             .arg(QString::number(outputFormat), QString::number(colorFormat)));
}

ConvertResult ConvertResult::unsupported(const QString &path, const QString &reason)
{
    return ConvertResult(NoWriter, path, reason);
}

ConvertResult ConvertResult::openFailed(const QString &path, const QString &detail)
{
    return ConvertResult(OpenFailed, path, detail);
}

ConvertResult ConvertResult::writeFailed(const QString &path, const QString &detail)
{
    return ConvertResult(WriteFailed, path, detail);
}

ConvertResult ConvertResult::tooLarge(const QString &path, QSize size, const QString &reason)
{
    return ConvertResult(TooLarge, path, reason, size);
}

ConvertResult ConvertResult::notAnImage(const QString &path, const QString &kinds)
{
    return ConvertResult(NotAnImage, path, kinds);
}

ConvertResult ConvertResult::corrupt(const QString &path, const QString &detail)
{
    return ConvertResult(Corrupt, path, detail);
}

ConvertResult ConvertResult::notRegularFile(const QString &path)
{
    return ConvertResult(NotRegularFile, path, QString());
}

ConvertResult ConvertResult::readFailed(const QString &path, const QString &detail)
{
    return ConvertResult(ReadFailed, path, detail);
}

ConvertResult ConvertResult::overBudget(const QString &path, QSize size)
{
    return ConvertResult(OverBudget, path, QString(), size);
}

ConvertResult ConvertResult::overBudget(const QString &path, QSize size, int frames)
{
    return ConvertResult(OverBudget, path,
                         QStringLiteral("the animation is %1 x %2 pixels in %3 frames")
                             .arg(QString::number(size.width()), QString::number(size.height()),
                                  QString::number(frames)),
                         size);
}

ConvertResult ConvertResult::outputNotRegular(const QString &path)
{
    return ConvertResult(OutputNotRegular, path, QString());
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
        if (!m_detail.isEmpty())
            return m_detail;
        return QStringLiteral("the image is %1 x %2 pixels; an LVGL image can be at most %3 x %3")
            .arg(QString::number(m_size.width()), QString::number(m_size.height()),
                 QString::number(m_limit));
    case NoWriter:
        return m_detail;
    case OpenFailed:
        return QStringLiteral("cannot be opened for writing (%1)").arg(m_detail);
    case WriteFailed:
        return QStringLiteral("cannot be written (%1)").arg(m_detail);
    case NotAnImage:
        return QStringLiteral("not a %1 image").arg(m_detail);
    case Corrupt:
        return QStringLiteral("cannot be decoded (truncated or corrupt data)");
    case NotRegularFile:
        return QStringLiteral("not a regular file");
    case ReadFailed:
        return QStringLiteral("cannot be read (%1)").arg(m_detail);
    case OverBudget:
        return QStringLiteral("%1; at most %2 megapixels and %3 MiB of decoded pixels are decoded")
            .arg(m_detail.isEmpty()
                     ? QStringLiteral("the image is %1 x %2 pixels")
                           .arg(QString::number(m_size.width()), QString::number(m_size.height()))
                     : m_detail,
                 QString::number(DecodeBudgetPixels >> 20),
                 QString::number(DecodeBudgetBytes >> 20));
    case OutputNotRegular:
        return QStringLiteral("the output is not a regular file; it was left untouched");
    }
    return QString();
}

QString ConvertResult::message() const
{
    if (m_path.isEmpty())
        return reason();
    return displayPath(m_path) + QStringLiteral(": ") + reason();
}

} // namespace Convert
