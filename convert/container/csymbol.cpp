#include "csymbol.h"

#include "creservednames.h"

#include <QFileInfo>
#include <QVector>

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace Convert {

namespace {

using namespace CReservedNames;

// Why a name cannot be the stem unchanged. The listed kinds come first, in
// the order a name found in several lists is reported ("bool" is a keyword
// before it is a macro of <stdbool.h>, "uint8_t" a name of the generated
// file before one of <stdint.h>).
enum class Problem {
    None,
    NotIdentifier,
    Keyword,
    GeneratedFile,
    EntryPoint,
    StandardLibrary,
    DoubleUnderscore,
    UnderscoreCapital,
    Underscore,
};

constexpr bool endsWith(std::string_view name, std::string_view suffix)
{
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

// Every listed name is an identifier that a stem can equal, and none ends in
// "_map": so when a stem is acceptable, the array name "<stem>_map" is too.
template<std::size_t N> constexpr bool wellFormed(const std::string_view (&names)[N])
{
    for (const std::string_view name : names) {
        if (name.empty() || (name.front() >= '0' && name.front() <= '9') || endsWith(name, "_map"))
            return false;
        for (const char c : name) {
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
                  || c == '_'))
                return false;
        }
    }
    return true;
}

static_assert(wellFormed(keywords), "a keyword is misspelt");
static_assert(wellFormed(generatedFileNames), "a generated-file name is misspelt");
static_assert(wellFormed(standardLibraryNames), "a C library name is misspelt");

struct ListedName
{
    std::string_view name;
    Problem problem;
};

// All the lists as one table sorted by name, built once. A name in several
// lists keeps the first problem in Problem's order.
const std::vector<ListedName> &listedNames()
{
    static const std::vector<ListedName> table = [] {
        std::vector<ListedName> names;
        const auto add = [&names](const auto &list, Problem problem) {
            for (const std::string_view name : list)
                names.push_back({name, problem});
        };
        add(keywords, Problem::Keyword);
        add(generatedFileNames, Problem::GeneratedFile);
        add(entryPointNames, Problem::EntryPoint);
        add(standardLibraryNames, Problem::StandardLibrary);
        std::sort(names.begin(), names.end(), [](const ListedName &a, const ListedName &b) {
            return a.name != b.name ? a.name < b.name : a.problem < b.problem;
        });
        names.erase(
            std::unique(names.begin(), names.end(),
                        [](const ListedName &a, const ListedName &b) { return a.name == b.name; }),
            names.end());
        return names;
    }();
    return table;
}

// The list name is in, or Problem::None. name is made of identifier
// characters only, so its Latin-1 form is its spelling in C.
Problem listedProblem(const QString &name)
{
    const QByteArray latin = name.toLatin1();
    const std::string_view key(latin.constData(), std::size_t(latin.size()));
    const std::vector<ListedName> &table = listedNames();
    const auto it = std::lower_bound(
        table.begin(), table.end(), key,
        [](const ListedName &entry, std::string_view value) { return entry.name < value; });
    return it != table.end() && it->name == key ? it->problem : Problem::None;
}

bool isAsciiUpper(uint c)
{
    return c >= 'A' && c <= 'Z';
}

bool isAsciiLetter(uint c)
{
    return isAsciiUpper(c) || (c >= 'a' && c <= 'z');
}

bool isAsciiDigit(uint c)
{
    return c >= '0' && c <= '9';
}

bool isIdentifierChar(uint c)
{
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '_';
}

Problem problemOf(const QString &name)
{
    if (name.isEmpty() || isAsciiDigit(name.at(0).unicode()))
        return Problem::NotIdentifier;
    for (const QChar c : name) {
        if (!isIdentifierChar(c.unicode()))
            return Problem::NotIdentifier;
    }
    const Problem listed = listedProblem(name);
    if (listed != Problem::None || name.at(0) != QLatin1Char('_'))
        return listed;
    if (name.size() > 1 && name.at(1) == QLatin1Char('_'))
        return Problem::DoubleUnderscore;
    if (name.size() > 1 && isAsciiUpper(name.at(1).unicode()))
        return Problem::UnderscoreCapital;
    return Problem::Underscore;
}

} // namespace

QString symbolProblem(const QString &name)
{
    switch (problemOf(name)) {
    case Problem::None:
        return QString();
    case Problem::NotIdentifier:
        if (name.isEmpty())
            return QStringLiteral("the name is empty, and a C identifier needs at least a letter");
        return QStringLiteral("'%1' is not a C identifier (letters, digits and '_', not starting "
                              "with a digit)")
            .arg(name);
    case Problem::Keyword:
        return QStringLiteral("'%1' is a C keyword").arg(name);
    case Problem::GeneratedFile:
        return QStringLiteral("'%1' is used by the generated file").arg(name);
    case Problem::EntryPoint:
        return QStringLiteral("'%1' is the program's entry point").arg(name);
    case Problem::StandardLibrary:
        return QStringLiteral("'%1' is declared by the C standard library").arg(name);
    case Problem::DoubleUnderscore:
        return QStringLiteral("'%1' begins with two underscores, and C reserves such names")
            .arg(name);
    case Problem::UnderscoreCapital:
        return QStringLiteral("'%1' begins with an underscore and a capital letter, and C "
                              "reserves such names")
            .arg(name);
    case Problem::Underscore:
        return QStringLiteral("'%1' begins with an underscore, and C reserves such names at file "
                              "scope")
            .arg(name);
    }
    return QString();
}

bool isCIdentifier(const QString &name)
{
    return problemOf(name) == Problem::None;
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
    symbol.reserve(codePoints.size() + 8);
    for (const uint c : codePoints)
        symbol.append(isIdentifierChar(c) ? QChar(c) : QLatin1Char('_'));

    // After the prefix the symbol begins with a letter, so only the lists
    // can still object. No listed name is another listed name plus '_'
    // today, but keep appending until none objects, so the result is
    // acceptable whatever the lists hold.
    const uint first = symbol.at(0).unicode();
    if (isAsciiDigit(first) || first == '_')
        symbol.prepend(QLatin1String("img_"));
    while (listedProblem(symbol) != Problem::None)
        symbol.append(QLatin1Char('_'));
    return symbol;
}

QString cSymbolForPath(const QString &outputPath)
{
    return cSymbol(QFileInfo(outputPath).baseName());
}

} // namespace Convert
