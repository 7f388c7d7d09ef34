#include "levelpacking.h"

#include <array>

namespace Convert {

namespace {

template<int Bits> void packLevelsOf(uchar *d, const uchar *values, int count)
{
    constexpr int perByte = 8 / Bits;
    const int whole = count / perByte;
    for (int i = 0; i < whole; ++i, values += perByte) {
        uint byte = 0;
        for (int j = 0; j < perByte; ++j)
            byte = (byte << Bits) | values[j];
        d[i] = uchar(byte);
    }
    const int rest = count - whole * perByte;
    if (rest > 0) {
        uint byte = 0;
        for (int j = 0; j < perByte; ++j)
            byte = (byte << Bits) | (j < rest ? values[j] : 0u);
        d[whole] = uchar(byte);
    }
}

} // namespace

void packLevels(uchar *d, const uchar *values, int count, int bits)
{
    switch (bits) {
    case 1:
        packLevelsOf<1>(d, values, count);
        break;
    case 2:
        packLevelsOf<2>(d, values, count);
        break;
    case 4:
        packLevelsOf<4>(d, values, count);
        break;
    default:
        std::memcpy(d, values, size_t(count));
        break;
    }
}

void roundAlphaLevels(const QRgb *pixels, uchar *levels, int count, int bits)
{
    // (a * (2^bits - 1) + 127) / 255, one table per width.
    static const auto tables = [] {
        std::array<std::array<uchar, 256>, 8> t {};
        for (int b = 1; b < 8; ++b) {
            for (int a = 0; a < 256; ++a)
                t[size_t(b)][size_t(a)] = uchar((a * ((1 << b) - 1) + 127) / 255);
        }
        return t;
    }();
    const uchar *table = tables[size_t(bits)].data();
    for (int x = 0; x < count; ++x)
        levels[x] = table[pixels[x] >> 24];
}

QByteArray paletteBytes(int entries, const QVector<QRgb> &colours)
{
    QByteArray bytes(entries * 4, '\0');
    for (int i = 0; i < entries && i < colours.size(); ++i) {
        const QRgb c = colours.at(i);
        bytes[i * 4] = char(qBlue(c));
        bytes[i * 4 + 1] = char(qGreen(c));
        bytes[i * 4 + 2] = char(qRed(c));
        bytes[i * 4 + 3] = char(qAlpha(c));
    }
    return bytes;
}

} // namespace Convert
