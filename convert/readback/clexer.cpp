#include "clexer.h"

namespace Convert {
namespace CReader {

bool Lexer::skipSpace(bool inDirective)
{
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++m_p;
        } else if (c == '\n') {
            if (inDirective)
                return true;
            ++m_line;
            ++m_p;
            lineStart = true;
        } else if (c == '\\' && m_p + 1 < m_end
                   && (m_p[1] == '\n' || (m_p[1] == '\r' && m_p + 2 < m_end && m_p[2] == '\n'))) {
            m_p += m_p[1] == '\n' ? 2 : 3;
            ++m_line;
        } else if (c == '/' && m_p + 1 < m_end && m_p[1] == '*') {
            m_commentLine = m_line;
            m_p += 2;
            for (;;) {
                if (m_p + 1 >= m_end) {
                    m_p = m_end;
                    return false;
                }
                if (*m_p == '*' && m_p[1] == '/') {
                    m_p += 2;
                    break;
                }
                if (*m_p == '\n')
                    ++m_line;
                ++m_p;
            }
        } else if (c == '/' && m_p + 1 < m_end && m_p[1] == '/') {
            while (m_p < m_end && *m_p != '\n')
                ++m_p;
        } else {
            break;
        }
    }
    return true;
}

void Lexer::lex(CToken *t)
{
    const char *start = m_p;
    t->line = m_line;
    t->offset = int(start - m_base);
    t->value = 0;
    t->tooLarge = false;
    const char c = *m_p;
    if (c == ',') {
        // The most common token of a large file.
        ++m_p;
        t->kind = CToken::Punctuator;
        t->value = op(',');
    } else if (isIdentifierStart(c)) {
        while (m_p < m_end && isIdentifierChar(*m_p))
            ++m_p;
        t->kind = CToken::Identifier;
    } else if (c >= '0' && c <= '9') {
        // A preprocessing number: digits, letters, '_' and '.'.
        while (m_p < m_end && (isIdentifierChar(*m_p) || *m_p == '.'))
            ++m_p;
        const char *q = start;
        int base = 10;
        if (*q == '0' && q + 1 < m_p && (q[1] == 'x' || q[1] == 'X')) {
            base = 16;
            q += 2;
        } else if (*q == '0' && q + 1 < m_p && (q[1] == 'b' || q[1] == 'B')) {
            base = 2;
            q += 2;
        } else if (*q == '0') {
            base = 8;
        }
        const char *digits = q;
        quint64 value = 0;
        bool tooLarge = false;
        while (q < m_p && digitValue(*q) < base) {
            const quint64 d = quint64(digitValue(*q));
            // Below the first bound no digit of any base overflows, which
            // spares the division in the hot loop.
            if (value > (quint64(MaxValue) - 15) / 16
                && value > (quint64(MaxValue) - d) / quint64(base))
                tooLarge = true;
            else
                value = value * quint64(base) + d;
            ++q;
        }
        // Integer suffixes only: u, l, ll in any case and order.
        while (q < m_p && (*q == 'u' || *q == 'U' || *q == 'l' || *q == 'L'))
            ++q;
        const bool valid = q == m_p && (q > digits || base == 8);
        t->kind = valid ? CToken::Number : CToken::Other;
        t->value = value;
        t->tooLarge = tooLarge;
    } else if (c == '"' || c == '\'') {
        ++m_p;
        bool closed = false;
        while (m_p < m_end && *m_p != '\n') {
            if (*m_p == '\\' && m_p + 1 < m_end && m_p[1] != '\n') {
                m_p += 2;
                continue;
            }
            if (*m_p++ == c) {
                closed = true;
                break;
            }
        }
        t->kind = closed && c == '"' ? CToken::String : CToken::Other;
    } else if (uchar(c) >= 0x80) {
        // A byte outside ASCII with the continuation bytes after it: one
        // UTF-8 character (a byte-order mark, say), shown as one token.
        ++m_p;
        while (m_p < m_end && (uchar(*m_p) & 0xc0) == 0x80)
            ++m_p;
        t->kind = CToken::Other;
    } else {
        static const char twoChar[][3] = {
            "&&", "||", "==", "!=", "<=", ">=", "<<", ">>", "->", "++", "--", "##"};
        t->kind = CToken::Punctuator;
        m_p = start + 1;
        if (m_p < m_end) {
            for (const char *pair : twoChar) {
                if (c == pair[0] && *m_p == pair[1]) {
                    ++m_p;
                    break;
                }
            }
        }
        t->value = op(c, m_p - start == 2 ? start[1] : 0);
        if (!std::strchr("{}[]()<>;,.=+-*/%&|^!~?:#", c) || c == 0)
            t->kind = CToken::Other;
    }
    t->length = int(m_p - start);
}

} // namespace CReader
} // namespace Convert
