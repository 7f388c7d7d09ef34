#include "pngrowruns.h"

namespace Convert {
namespace Reading {

RowRuns pngRowRuns(const PngHeader &h)
{
    const quint64 bitsPerPixel = quint64(pngChannels(h.colorType)) * quint64(h.depth);
    const auto rowBytes = [bitsPerPixel](quint64 columns) {
        return 1 + (columns * bitsPerPixel + 7) / 8;
    };
    RowRuns runs;
    if (h.interlace == 0) {
        runs.append({h.height, rowBytes(h.width)});
        return runs;
    }
    // Adam7: pass p takes the pixels at (xStart + i * xStep, yStart + j * yStep).
    static const int xStart[7] = {0, 4, 0, 2, 0, 1, 0};
    static const int yStart[7] = {0, 0, 4, 0, 2, 0, 1};
    static const int xStep[7] = {8, 8, 4, 4, 2, 2, 1};
    static const int yStep[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int p = 0; p < 7; ++p) {
        const quint64 columns =
            h.width > quint32(xStart[p]) ? (h.width - xStart[p] + xStep[p] - 1) / xStep[p] : 0;
        const quint64 rows =
            h.height > quint32(yStart[p]) ? (h.height - yStart[p] + yStep[p] - 1) / yStep[p] : 0;
        if (columns > 0 && rows > 0)
            runs.append({rows, rowBytes(columns)});
    }
    return runs;
}

} // namespace Reading
} // namespace Convert
