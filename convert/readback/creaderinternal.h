#ifndef CREADERINTERNAL_H
#define CREADERINTERNAL_H

// What the parts of the C reader share: its limits, the file's budget, the
// tables one pass leaves, and small helpers for tokens and messages.

#include "carrayreader.h"

#include <cstring>
#include <limits>

namespace Convert {
namespace CReader {

using Setting = CArrayReader::Setting;
using Macros = CArrayReader::Macros;

constexpr int SettingCount = CArrayReader::SettingCount;
constexpr quint8 AllSettings = (1u << SettingCount) - 1;
constexpr int MaxMacroDepth = 32;
constexpr int MaxNesting = 200; // parentheses and unary operators in one expression
constexpr int MaxExpandedTokens = 4096; // tokens the macros of one expression expand to
constexpr int MaxExpressionTokens = 4096; // tokens of a field's value or an array's size
// An array declared longer than its values is padded with zeros, up to this.
constexpr qint64 MaxPadding = qint64(16) << 20;
constexpr qint64 MaxValue = std::numeric_limits<qint64>::max();
constexpr qint64 MinValue = std::numeric_limits<qint64>::min();

// The file's budget. Every token an evaluation reads costs one: a
// condition is read once for each setting it is live in, so four tokens a
// byte cover any file that uses its macros sparingly, and the base covers
// the macros of a small one.
constexpr qint64 BaseTokens = qint64(1) << 20;
constexpr qint64 TokensPerByte = 4;
// The memory of the reader's own tables: about what one entry takes with
// its hash node and key. The bytes of the arrays are not counted here: a
// byte takes at least two characters of text ("0,").
constexpr qint64 BaseBytes = qint64(1) << 20;
constexpr qint64 MacroCost = 64; // per setting it is defined in
constexpr qint64 ArrayCost = 192;
constexpr qint64 ConditionalCost = 16;

// LV_COLOR_DEPTH and LV_COLOR_16_SWAP of each setting.
constexpr int settingDepth[SettingCount] = {8, 16, 16, 32};
constexpr int settingSwap[SettingCount] = {0, 0, 1, 0};

// The characters of a punctuator as CToken::value holds them.
constexpr quint64 op(char first, char second = 0)
{
    return quint64(uchar(first)) | quint64(uchar(second)) << 8;
}

inline QString lineError(int line, const QString &message)
{
    return QStringLiteral("line %1: %2").arg(line).arg(message);
}

// Bytes of the file as a message quotes them: printable ASCII as it is,
// every other byte as \xNN, so that a NUL, a byte-order mark or a broken
// UTF-8 sequence shows for what it is. At most limit bytes.
inline QString shown(const char *data, int length, int limit = 40)
{
    QString out;
    const int n = qMin(length, limit);
    for (int i = 0; i < n; ++i) {
        const uchar c = uchar(data[i]);
        if (c >= 0x20 && c < 0x7f)
            out += QLatin1Char(char(c));
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return out;
}

inline QString shown(const QByteArray &bytes, int limit = 40)
{
    return shown(bytes.constData(), bytes.size(), limit);
}

inline bool isIdentifierStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

inline bool isIdentifierChar(char c)
{
    return isIdentifierStart(c) || (c >= '0' && c <= '9');
}

inline int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

inline bool sameText(const char *data, int length, const char *word)
{
    return int(std::strlen(word)) == length && std::memcmp(data, word, size_t(length)) == 0;
}

inline bool isBuiltIn(const char *name, int length, int setting, qint64 *value)
{
    if (sameText(name, length, "LV_COLOR_DEPTH")) {
        *value = settingDepth[setting];
        return true;
    }
    if (sameText(name, length, "LV_COLOR_16_SWAP")) {
        *value = settingSwap[setting];
        return true;
    }
    return false;
}

// The macros table's key for a name of the text, without copying it.
inline QByteArray nameKey(const QByteArray &text, const CToken &t)
{
    return QByteArray::fromRawData(text.constData() + t.offset, t.length);
}

// The sizes of an array, one for each setting (sizeof).
struct ArraySizes
{
    qint64 size[SettingCount] = {};
};
using ArrayTable = QHash<QByteArray, ArraySizes>;

using Budget = CArrayReader::Budget;

} // namespace CReader

struct CArrayReader::Budget
{
    explicit Budget(qint64 fileBytes)
        : fileBytes(fileBytes)
        , tokens(CReader::BaseTokens + CReader::TokensPerByte * fileBytes)
        , bytes(CReader::BaseBytes + fileBytes)
    {
    }

    bool spendTokens(qint64 n)
    {
        tokens -= n;
        return tokens >= 0;
    }
    bool spendBytes(qint64 n)
    {
        bytes -= n;
        return bytes >= 0;
    }
    void refundBytes(qint64 n) { bytes += n; }

    QString tokensError() const
    {
        return QStringLiteral("the file is too complex to read: its conditions and macros "
                              "expand past the %1 tokens allowed for a file of %2 bytes")
            .arg(CReader::BaseTokens + CReader::TokensPerByte * fileBytes)
            .arg(fileBytes);
    }
    QString bytesError() const
    {
        return QStringLiteral("the file is too complex to read: its definitions, arrays and "
                              "conditionals need more than the %1 bytes of memory allowed for a "
                              "file of %2 bytes")
            .arg(CReader::BaseBytes + fileBytes)
            .arg(fileBytes);
    }

    const qint64 fileBytes;
    qint64 tokens;
    qint64 bytes;
};

struct CArrayReader::ResolvedData
{
    QByteArray data[CReader::SettingCount];
    qint64 dataSize[CReader::SettingCount] = {};
    QString errors[CReader::SettingCount]; // why another setting of it cannot be read
};

struct CArrayReader::Pass
{
    Macros macros[SettingCount]; // as defined at the end of the file
    CReader::ArrayTable arrays;
    // The bytes of the array .data names, and its size with the padding.
    QByteArray data[SettingCount];
    qint64 dataSize[SettingCount] = {};
    // Why a setting other than the one read cannot be read: anything in the
    // file; an #error that stops it.
    QString errors[SettingCount];
    QString stops[SettingCount];
    // The declarations differ between settings: another setting is read in
    // a pass of its own.
    bool divergent = false;
    // Every descriptor and its .data (the first is the image read), and
    // what a frame set declares beside them.
    QVector<CImageSource> descriptors;
    QVector<CArrayReader::ResolvedData> descriptorData;
    QHash<QByteArray, CPointerArray> pointerArrays;
    QHash<QByteArray, CWordArray> wordArrays;
    QHash<QByteArray, CScalar> scalars;
};

} // namespace Convert

#endif // CREADERINTERNAL_H
