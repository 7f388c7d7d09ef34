#include "csymbol.h"

#include <QFileInfo>
#include <QVector>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace Convert {

namespace {

// Keywords of C99 to C23. A symbol equal to one of them would not compile
// with some compiler or -std setting.
const char *const keywords[] = {
    "_Alignas",
    "_Alignof",
    "_Atomic",
    "_BitInt",
    "_Bool",
    "_Complex",
    "_Decimal128",
    "_Decimal32",
    "_Decimal64",
    "_Generic",
    "_Imaginary",
    "_Noreturn",
    "_Static_assert",
    "_Thread_local",
    "alignas",
    "alignof",
    "auto",
    "bool",
    "break",
    "case",
    "char",
    "const",
    "constexpr",
    "continue",
    "default",
    "do",
    "double",
    "else",
    "enum",
    "extern",
    "false",
    "float",
    "for",
    "goto",
    "if",
    "inline",
    "int",
    "long",
    "nullptr",
    "register",
    "restrict",
    "return",
    "short",
    "signed",
    "sizeof",
    "static",
    "static_assert",
    "struct",
    "switch",
    "thread_local",
    "true",
    "typedef",
    "typeof",
    "typeof_unqual",
    "union",
    "unsigned",
    "void",
    "volatile",
    "while",
};

bool isKeyword(const QString &name)
{
    const QByteArray latin = name.toLatin1();
    return std::any_of(std::begin(keywords), std::end(keywords),
                       [&latin](const char *k) { return std::strcmp(k, latin.constData()) == 0; });
}

bool isAsciiLetter(uint c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isAsciiDigit(uint c)
{
    return c >= '0' && c <= '9';
}

bool isIdentifierChar(uint c)
{
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '_';
}

} // namespace

bool isCIdentifier(const QString &name)
{
    if (name.isEmpty() || isAsciiDigit(name.at(0).unicode()))
        return false;
    for (const QChar c : name) {
        if (!isIdentifierChar(c.unicode()))
            return false;
    }
    return !isKeyword(name);
}

QString cSymbol(const QString &name)
{
    if (isCIdentifier(name))
        return name;
    if (name.isEmpty())
        return QStringLiteral("image");

    // Work on code points, so that a character outside the BMP becomes one
    // '_' and not two.
    QString symbol;
    const QVector<uint> codePoints = name.toUcs4();
    symbol.reserve(codePoints.size() + 1);
    for (const uint c : codePoints)
        symbol.append(isIdentifierChar(c) ? QChar(c) : QLatin1Char('_'));

    if (isAsciiDigit(symbol.at(0).unicode()))
        symbol.prepend(QLatin1Char('_'));
    else if (isKeyword(symbol))
        symbol.append(QLatin1Char('_'));
    return symbol;
}

QString cSymbolForPath(const QString &outputPath)
{
    return cSymbol(QFileInfo(outputPath).baseName());
}

} // namespace Convert
