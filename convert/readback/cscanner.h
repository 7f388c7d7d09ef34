#ifndef CSCANNER_H
#define CSCANNER_H

#include "clexer.h"
#include "creaderinternal.h"

#include <vector>

namespace Convert {
namespace CReader {

// Turns the characters of a C source into tokens, follows the
// preprocessor's conditionals for every depth setting at once and gives
// each token the set of settings it is read in. Tokens read in none are
// dropped here.
class Scanner
{
public:
    Scanner(const QByteArray &text, int begin, Budget *budget)
        : m_text(text)
        , m_lexer(text, begin, text.size(), 1)
        , m_budget(budget)
    {
    }
    // The next token read in at least one setting (End at the end of the
    // text). false on an error.
    bool next(CToken *token);

    QString error;
    Macros macros[SettingCount];
    // The first #error each setting meets, with its line.
    QString stop[SettingCount];
    int stopLine[SettingCount] = {};

private:
    struct Conditional
    {
        quint8 parent; // settings in which the enclosing text is read
        quint8 taken; // settings for which a branch was already read
        quint8 current;
        bool sawElse;
        int line;
    };

    // The rest of a directive's line: its first token, where its text
    // begins and ends, and how many tokens it holds.
    struct Rest
    {
        CToken first;
        int begin = 0;
        int end = 0;
        int count = 0;
    };

    bool directive();
    bool restOfLine(Rest *rest);
    bool fail(int line, const QString &message)
    {
        error = lineError(line, message);
        return false;
    }
    quint8 mask() const
    {
        return m_conditionals.empty() ? AllSettings : m_conditionals.back().current;
    }
    bool conditionMask(const Rest &rest, quint8 settings, int line, quint8 *result);
    bool push(const Conditional &conditional, int line);

    const QByteArray &m_text;
    Lexer m_lexer;
    Budget *const m_budget;
    std::vector<Conditional> m_conditionals;
};

} // namespace CReader
} // namespace Convert

#endif // CSCANNER_H
