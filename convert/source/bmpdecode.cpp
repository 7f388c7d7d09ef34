#include "bmpheader.h"

#include "qtdecode.h"

namespace Convert {
namespace Reading {

ConvertResult decodeBmp(const DecodeInput &input, QImage *image)
{
    return decodeWithQt(input, nullptr, EndRule::ReadPastEndOrStopsAtEnd, image);
}

} // namespace Reading
} // namespace Convert
