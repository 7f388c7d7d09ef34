#ifndef HEXTEXT_H
#define HEXTEXT_H

#include <QtGlobal>

#include <cstring>

// The text of one byte in a C array, from a table.
namespace Convert {

namespace Detail {

// "0xHH, " for every byte value, padded to 8 bytes so that one 8-byte copy
// writes an entry; the two bytes after the entry are overwritten by the
// next one (the writer keeps 2 bytes of slack at the end of a line).
struct HexTable
{
    char entry[256][8];
};

constexpr HexTable makeHexTable()
{
    HexTable t {};
    const char digits[] = "0123456789abcdef";
    for (int v = 0; v < 256; ++v) {
        t.entry[v][0] = '0';
        t.entry[v][1] = 'x';
        t.entry[v][2] = digits[v >> 4];
        t.entry[v][3] = digits[v & 15];
        t.entry[v][4] = ',';
        t.entry[v][5] = ' ';
        t.entry[v][6] = 0;
        t.entry[v][7] = 0;
    }
    return t;
}

inline constexpr HexTable hexTable = makeHexTable();

} // namespace Detail

// Number of characters one byte takes in a C row: "0xHH, ".
constexpr int HexByteChars = 6;
// Writers reserve this much beyond the text they put, for putHex's copy.
constexpr int HexSlack = 2;

// Writes "0xHH, " at p and returns the position after it. Writes 8 bytes,
// of which the last 2 are scratch.
inline char *putHex(char *p, quint8 value)
{
    std::memcpy(p, Detail::hexTable.entry[value], 8);
    return p + HexByteChars;
}

} // namespace Convert

#endif // HEXTEXT_H
