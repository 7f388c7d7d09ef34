#include "headerreader.h"

namespace Convert {
namespace Reading {

HeaderStatus cutShort(const HeaderReader &in, QString *detail, const char *kind)
{
    if (in.failed())
        return HeaderStatus::ReadError;
    *detail = QStringLiteral("the %1 header is cut short").arg(QLatin1String(kind));
    return HeaderStatus::Corrupt;
}

} // namespace Reading
} // namespace Convert
