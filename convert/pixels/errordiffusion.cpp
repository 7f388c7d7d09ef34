#include "errordiffusion.h"

#include <QtGlobal>

#include <mutex>

namespace Convert {

namespace {

int levelCount(int bits)
{
    return 1 << bits;
}

} // namespace

int ErrorDiffusion::shownValue(int level, int bits, bool replicate)
{
    if (!replicate)
        return level * 255 / (levelCount(bits) - 1);
    // The level's bits repeated down to 8 bits: 5-bit 31 -> 255, 3-bit 5 -> 182.
    int value = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        value |= shift >= 0 ? level << shift : level >> -shift;
    return value & 0xff;
}

int ErrorDiffusion::nearestLevel(int value, int bits, bool replicate)
{
    int best = 0;
    int bestDistance = 256;
    for (int level = 0; level < levelCount(bits); ++level) {
        const int distance = qAbs(value - shownValue(level, bits, replicate));
        if (distance < bestDistance) {
            best = level;
            bestDistance = distance;
        }
    }
    return best;
}

ErrorDiffusion::ErrorDiffusion(int width, std::vector<Target> targets)
    : m_width(width)
    , m_targets(std::move(targets))
    , m_current(size_t(width + 2) * m_targets.size(), 0)
    , m_next(m_current.size(), 0)
{
    // One table per (bits, replicate), made once for the process.
    static std::once_flag once;
    static Tables tables[2][8];
    std::call_once(once, [] {
        for (int replicate = 0; replicate < 2; ++replicate) {
            for (int bits = 1; bits < 8; ++bits) {
                Tables &t = tables[replicate][bits];
                for (int v = 0; v < 256; ++v)
                    t.nearest[v] = uchar(nearestLevel(v, bits, replicate != 0));
                for (int level = 0; level < levelCount(bits); ++level)
                    t.shown[level] = uchar(shownValue(level, bits, replicate != 0));
                for (int v = 0; v < 256; ++v)
                    t.residual[v] = static_cast<signed char>(v - t.shown[t.nearest[v]]);
            }
        }
    });
    for (const Target &target : m_targets)
        m_tables.push_back(&tables[target.replicate ? 1 : 0][target.bits]);
}

namespace {

// Floyd-Steinberg over one row for N channels: 7/16 of a pixel's error to
// its right neighbour, 3/16, 5/16 and 1/16 to the three pixels below.
// Errors are kept in sixteenths; next[] is indexed from -1 (one pixel of
// margin on each side). The right neighbour's share travels in a register,
// and each pixel of the next row is written once, when its three shares
// from this row are known.
template<int N>
void diffuseRow(const QRgb *__restrict pixels, uchar *__restrict levels, int width,
                const int *__restrict current, int *__restrict next, const int *shiftsIn,
                const uchar *const *nearestIn, const signed char *const *residualIn)
{
    // Everything the loop reads is copied to locals first: levels is a
    // byte pointer, which would otherwise make the compiler reload them
    // after every store.
    int shifts[N];
    const uchar *nearest[N];
    const signed char *residual[N];
    for (int t = 0; t < N; ++t) {
        shifts[t] = shiftsIn[t];
        nearest[t] = nearestIn[t];
        residual[t] = residualIn[t];
    }
    int right[N] = {};
    int pending[N] = {}; // next[x - 1] so far: 1/16 from x - 2, 5/16 from x - 1
    int last[N] = {}; // next[x] so far: 1/16 from x - 1
    for (int x = 0; x < width; ++x) {
        const QRgb p = pixels[x];
        const int *here = current + (x + 1) * N;
        int *below = next + x * N;
        uchar *out = levels + x * N;
        for (int t = 0; t < N; ++t) {
            const int carried16 = here[t] + right[t];
            // The carried error, rounded half away from zero.
            const int sign = carried16 >> 31;
            const int carried = ((((carried16 ^ sign) - sign + 8) >> 4) ^ sign) - sign;
            const int value = qBound(0, int((p >> shifts[t]) & 0xff) + carried, 255);
            const int error = residual[t][value];
            out[t] = nearest[t][value];
            right[t] = error * 7;
            below[t] = pending[t] + error * 3; // x - 1, with the margin
            pending[t] = last[t] + error * 5;
            last[t] = error;
        }
    }
    for (int t = 0; t < N; ++t) {
        next[width * N + t] = pending[t];
        next[(width + 1) * N + t] = last[t];
    }
}

} // namespace

void ErrorDiffusion::row(const QRgb *pixels, uchar *levels)
{
    const int n = int(m_targets.size());
    int shifts[4];
    const uchar *nearest[4];
    const signed char *residual[4];
    for (int t = 0; t < n && t < 4; ++t) {
        shifts[t] = m_targets[size_t(t)].channel;
        nearest[t] = m_tables[size_t(t)]->nearest;
        residual[t] = m_tables[size_t(t)]->residual;
    }
    if (n == 3)
        diffuseRow<3>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
    else if (n == 1)
        diffuseRow<1>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
    else if (n == 2)
        diffuseRow<2>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
    else
        diffuseRow<4>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
    m_current.swap(m_next);
}

} // namespace Convert
