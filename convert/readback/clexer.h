#ifndef CLEXER_H
#define CLEXER_H

#include "creaderinternal.h"

namespace Convert {
namespace CReader {

// Reads tokens from the text between two offsets and counts its lines.
class Lexer
{
public:
    Lexer() = default;
    Lexer(const QByteArray &text, int begin, int end, int line)
        : m_base(text.constData())
        , m_p(m_base + begin)
        , m_end(m_base + end)
        , m_line(line)
    {
    }

    // Skips white space and comments. In a directive a newline ends the
    // space and is left where it is. false on a comment that never ends
    // (commentLine() is where it starts).
    bool skipSpace(bool inDirective);
    // One token at the current place, which is neither space nor a comment.
    void lex(CToken *token);

    bool atEnd() const { return m_p >= m_end; }
    char peek() const { return *m_p; }
    void step() { ++m_p; }
    int offset() const { return int(m_p - m_base); }
    int line() const { return m_line; }
    int commentLine() const { return m_commentLine; }

    bool lineStart = true; // nothing but space since the last newline

private:
    const char *m_base = nullptr;
    const char *m_p = nullptr;
    const char *m_end = nullptr;
    int m_line = 1;
    int m_commentLine = 0;
};

} // namespace CReader
} // namespace Convert

#endif // CLEXER_H
