#ifndef PNGROWRUNS_H
#define PNGROWRUNS_H

#include "pngheader.h"

#include <QVarLengthArray>

namespace Convert {
namespace Reading {

// Rows of the filtered image data: each row is a filter type byte (0..4)
// and the row's packed samples. A non-interlaced image is one run of rows,
// an Adam7 image one run for each of its seven passes that has pixels.
struct RowRun
{
    quint64 rows = 0;
    quint64 bytes = 0; // per row, filter byte included
};

using RowRuns = QVarLengthArray<RowRun, 7>;

// The runs of rows of an image with this header.
RowRuns pngRowRuns(const PngHeader &h);

} // namespace Reading
} // namespace Convert

#endif // PNGROWRUNS_H
