#include "carrayreader.h"

#include <QSet>

#include <cstring>
#include <limits>
#include <vector>

namespace Convert {

namespace {

using Setting = CArrayReader::Setting;
using Macros = CArrayReader::Macros;

constexpr quint8 AllSettings = (1u << CArrayReader::SettingCount) - 1;
constexpr int MaxMacroDepth = 32;
constexpr int MaxNesting = 200; // parentheses and unary operators in one expression
constexpr int MaxExpandedTokens = 4096; // tokens the macros of one expression expand to
// An array declared longer than its values is padded with zeros, up to this.
constexpr qint64 MaxPadding = qint64(16) << 20;
constexpr qint64 MaxValue = std::numeric_limits<qint64>::max();
constexpr qint64 MinValue = std::numeric_limits<qint64>::min();

// LV_COLOR_DEPTH and LV_COLOR_16_SWAP of each setting.
constexpr int settingDepth[CArrayReader::SettingCount] = {8, 16, 16, 32};
constexpr int settingSwap[CArrayReader::SettingCount] = {0, 0, 1, 0};

QString lineError(int line, const QString &message)
{
    return QStringLiteral("line %1: %2").arg(line).arg(message);
}

bool isIdentifierStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isIdentifierChar(char c)
{
    return isIdentifierStart(c) || (c >= '0' && c <= '9');
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

bool isBuiltIn(const QByteArray &name, int setting, qint64 *value)
{
    if (name == "LV_COLOR_DEPTH") {
        *value = settingDepth[setting];
        return true;
    }
    if (name == "LV_COLOR_16_SWAP") {
        *value = settingSwap[setting];
        return true;
    }
    return false;
}

// Turns the characters of a C source into tokens, follows the
// preprocessor's conditionals for every depth setting at once and gives
// each token the set of settings it is read in. Tokens read in none are
// dropped here.
class Scanner
{
public:
    explicit Scanner(const QByteArray &text)
        : m_text(text)
        , m_begin(text.constData())
        , m_p(m_begin)
        , m_end(m_begin + text.size())
    {
    }

    // The next token read in at least one setting (End at the end of the
    // text). false on an error.
    bool next(CToken *token);

    QString error;
    Macros macros[CArrayReader::SettingCount];
    // The first #error each setting meets, with its line.
    QString stop[CArrayReader::SettingCount];
    int stopLine[CArrayReader::SettingCount] = {};

private:
    struct Conditional
    {
        quint8 parent; // settings in which the enclosing text is read
        quint8 taken; // settings for which a branch was already read
        quint8 current;
        bool sawElse;
        int line;
    };

    bool skipSpace(bool inDirective);
    void lexOne(CToken *token);
    bool directive();
    bool fail(int line, const QString &message)
    {
        error = lineError(line, message);
        return false;
    }
    quint8 mask() const
    {
        return m_conditionals.empty() ? AllSettings : m_conditionals.back().current;
    }
    bool conditionMask(const CExpression &tokens, quint8 settings, int line, quint8 *result);

    const QByteArray &m_text;
    const char *const m_begin;
    const char *m_p;
    const char *const m_end;
    int m_line = 1;
    bool m_lineStart = true;
    std::vector<Conditional> m_conditionals;
};

// Evaluates a C integer expression: the preprocessor's (with defined(),
// every other name an error) or a field's (with sizeof and the caller's
// names).
class Evaluator
{
public:
    Evaluator(const QByteArray &text, int setting, const Macros &macros)
        : m_text(text)
        , m_setting(setting)
        , m_macros(macros)
    {
    }

    void setFieldNames(const CArrayReader::Lookup *lookup, const QHash<QByteArray, qint64> *arrays)
    {
        m_preprocessor = false;
        m_lookup = lookup;
        m_arrays = arrays;
    }

    bool evaluate(const CExpression &expression, int line, qint64 *value, QString *error);

private:
    QByteArray textOf(const CToken &t) const { return m_text.mid(t.offset, t.length); }
    bool expand(const CToken *begin, const CToken *end, int depth, CExpression *out);
    bool fail(const CToken &at, const QString &message);
    bool isPunctuator(const char *p) const;

    // Recursive descent, lowest precedence first.
    bool conditional(qint64 *v);
    bool binary(int level, qint64 *v);
    bool unary(qint64 *v);
    bool primary(qint64 *v);
    bool apply(const QByteArray &op, qint64 a, qint64 b, qint64 *v);

    const QByteArray &m_text;
    const int m_setting;
    const Macros &m_macros;
    bool m_preprocessor = true;
    const CArrayReader::Lookup *m_lookup = nullptr;
    const QHash<QByteArray, qint64> *m_arrays = nullptr;

    CExpression m_tokens;
    int m_at = 0;
    int m_nesting = 0;
    int m_fromMacros = 0; // tokens that macros expanded to
    int m_line = 0;
    QSet<QByteArray> m_expanding;
    QString m_error;
};

bool Scanner::skipSpace(bool inDirective)
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
            m_lineStart = true;
        } else if (c == '\\' && m_p + 1 < m_end
                   && (m_p[1] == '\n' || (m_p[1] == '\r' && m_p + 2 < m_end && m_p[2] == '\n'))) {
            m_p += m_p[1] == '\n' ? 2 : 3;
            ++m_line;
        } else if (c == '/' && m_p + 1 < m_end && m_p[1] == '*') {
            const int startLine = m_line;
            m_p += 2;
            for (;;) {
                if (m_p + 1 >= m_end) {
                    m_p = m_end;
                    return fail(startLine, QStringLiteral("a comment that never ends"));
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

// One token at m_p, which is neither space nor a comment.
void Scanner::lexOne(CToken *t)
{
    const char *start = m_p;
    t->line = m_line;
    t->offset = int(start - m_begin);
    t->value = 0;
    t->tooLarge = false;
    const char c = *m_p;
    if (isIdentifierStart(c)) {
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
            if (value > (quint64(MaxValue) - d) / quint64(base))
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
        if (!std::strchr("{}[]()<>;,.=+-*/%&|^!~?:#", c) || c == 0)
            t->kind = CToken::Other;
    }
    t->length = int(m_p - start);
}

bool Scanner::next(CToken *token)
{
    for (;;) {
        if (!skipSpace(false))
            return false;
        if (m_p >= m_end) {
            if (!m_conditionals.empty())
                return fail(m_conditionals.back().line,
                            QStringLiteral("this conditional has no #endif"));
            token->kind = CToken::End;
            token->line = m_line;
            token->offset = int(m_end - m_begin);
            token->length = 0;
            token->mask = AllSettings;
            return true;
        }
        if (*m_p == '#' && m_lineStart) {
            ++m_p;
            if (!directive())
                return false;
            continue;
        }
        m_lineStart = false;
        lexOne(token);
        token->mask = mask();
        if (token->mask)
            return true;
    }
}

bool Scanner::conditionMask(const CExpression &tokens, quint8 settings, int line, quint8 *result)
{
    *result = 0;
    for (int s = 0; s < CArrayReader::SettingCount; ++s) {
        if (!(settings & (1u << s)))
            continue;
        Evaluator evaluator(m_text, s, macros[s]);
        qint64 value = 0;
        QString message;
        if (!evaluator.evaluate(tokens, line, &value, &message)) {
            error = message;
            return false;
        }
        if (value)
            *result |= quint8(1u << s);
    }
    return true;
}

bool Scanner::directive()
{
    const int line = m_line;
    CExpression tokens;
    for (;;) {
        if (!skipSpace(true))
            return false;
        if (m_p >= m_end || *m_p == '\n')
            break;
        CToken t;
        lexOne(&t);
        t.mask = AllSettings;
        tokens.append(t);
    }
    // The newline is left for skipSpace, which starts the next line.
    if (tokens.isEmpty())
        return true; // the null directive
    const QByteArray name = tokens.first().kind == CToken::Identifier
        ? m_text.mid(tokens.first().offset, tokens.first().length)
        : QByteArray();
    const CExpression rest = tokens.mid(1);
    const quint8 live = mask();

    const auto definedMask = [&](bool wanted, quint8 settings, quint8 *result) {
        if (rest.size() != 1 || rest.first().kind != CToken::Identifier)
            return fail(line, QStringLiteral("#%1 needs one name").arg(QString::fromLatin1(name)));
        const QByteArray macro = m_text.mid(rest.first().offset, rest.first().length);
        *result = 0;
        for (int s = 0; s < CArrayReader::SettingCount; ++s) {
            qint64 ignored;
            const bool defined = macros[s].contains(macro) || isBuiltIn(macro, s, &ignored);
            if ((settings & (1u << s)) && defined == wanted)
                *result |= quint8(1u << s);
        }
        return true;
    };

    if (name == "if" || name == "ifdef" || name == "ifndef") {
        quint8 result = 0;
        if (live) {
            const bool ok = name == "if" ? conditionMask(rest, live, line, &result)
                                         : definedMask(name == "ifdef", live, &result);
            if (!ok)
                return false;
        }
        m_conditionals.push_back({live, result, result, false, line});
        return true;
    }
    if (name == "elif" || name == "elifdef" || name == "elifndef" || name == "else"
        || name == "endif") {
        if (m_conditionals.empty())
            return fail(line, QStringLiteral("#%1 without #if").arg(QString::fromLatin1(name)));
        Conditional &c = m_conditionals.back();
        if (name == "endif") {
            m_conditionals.pop_back();
            return true;
        }
        if (c.sawElse)
            return fail(line, QStringLiteral("#%1 after #else").arg(QString::fromLatin1(name)));
        const quint8 open = c.parent & ~c.taken;
        quint8 result = open;
        if (name == "else") {
            c.sawElse = true;
        } else if (open) {
            const bool ok = name == "elif" ? conditionMask(rest, open, line, &result)
                                           : definedMask(name == "elifdef", open, &result);
            if (!ok)
                return false;
        }
        c.current = result;
        c.taken |= result;
        return true;
    }
    if (!live)
        return true; // only conditionals count in text that is not read
    if (name == "define") {
        if (rest.isEmpty() || rest.first().kind != CToken::Identifier)
            return fail(line, QStringLiteral("#define needs a name"));
        const CToken &macroName = rest.first();
        CArrayReader::Macro macro;
        macro.function = rest.size() > 1 && rest.at(1).length == 1
            && m_text.at(rest.at(1).offset) == '('
            && rest.at(1).offset == macroName.offset + macroName.length;
        macro.body = rest.mid(1);
        const QByteArray key = m_text.mid(macroName.offset, macroName.length);
        for (int s = 0; s < CArrayReader::SettingCount; ++s) {
            if (live & (1u << s))
                macros[s].insert(key, macro);
        }
        return true;
    }
    if (name == "undef") {
        if (rest.size() != 1 || rest.first().kind != CToken::Identifier)
            return fail(line, QStringLiteral("#undef needs one name"));
        const QByteArray key = m_text.mid(rest.first().offset, rest.first().length);
        for (int s = 0; s < CArrayReader::SettingCount; ++s) {
            if (live & (1u << s))
                macros[s].remove(key);
        }
        return true;
    }
    if (name == "error") {
        QByteArray message;
        if (!rest.isEmpty()) {
            const int from = rest.first().offset;
            message = m_text.mid(from, rest.last().offset + rest.last().length - from);
        }
        for (int s = 0; s < CArrayReader::SettingCount; ++s) {
            if ((live & (1u << s)) && stop[s].isNull()) {
                stop[s] = QString::fromUtf8(message);
                stopLine[s] = line;
            }
        }
        return true;
    }
    if (name == "include" || name == "pragma" || name == "warning" || name == "line"
        || name == "ident")
        return true;
    return fail(line,
                QStringLiteral("the directive #%1 is not one the reader knows")
                    .arg(QString::fromLatin1(
                        m_text.mid(tokens.first().offset, qMin(tokens.first().length, 40)))));
}

bool Evaluator::fail(const CToken &at, const QString &message)
{
    if (m_error.isEmpty())
        m_error = lineError(at.line ? at.line : m_line, message);
    return false;
}

bool Evaluator::isPunctuator(const char *p) const
{
    if (m_at >= m_tokens.size())
        return false;
    const CToken &t = m_tokens.at(m_at);
    return t.kind == CToken::Punctuator && t.length == int(std::strlen(p))
        && std::memcmp(m_text.constData() + t.offset, p, size_t(t.length)) == 0;
}

bool Evaluator::expand(const CToken *begin, const CToken *end, int depth, CExpression *out)
{
    for (const CToken *t = begin; t < end; ++t) {
        if (depth > 0 && ++m_fromMacros > MaxExpandedTokens)
            return fail(*t, QStringLiteral("the macros expand too far"));
        if (t->kind != CToken::Identifier) {
            out->append(*t);
            continue;
        }
        const QByteArray name = textOf(*t);
        if (m_preprocessor && name == "defined") {
            // defined NAME or defined ( NAME )
            const bool parenthesised =
                t + 1 < end && t[1].kind == CToken::Punctuator && textOf(t[1]) == "(";
            const CToken *id = t + (parenthesised ? 2 : 1);
            if (id >= end || id->kind != CToken::Identifier
                || (parenthesised
                    && (id + 1 >= end || id[1].kind != CToken::Punctuator || textOf(id[1]) != ")")))
                return fail(*t, QStringLiteral("defined needs a name"));
            qint64 ignored;
            const QByteArray macro = textOf(*id);
            CToken number = *t;
            number.kind = CToken::Number;
            number.value = m_macros.contains(macro) || isBuiltIn(macro, m_setting, &ignored);
            out->append(number);
            t = id + (parenthesised ? 1 : 0);
            continue;
        }
        qint64 builtIn = 0;
        if (isBuiltIn(name, m_setting, &builtIn)) {
            CToken number = *t;
            number.kind = CToken::Number;
            number.value = quint64(builtIn);
            out->append(number);
            continue;
        }
        const auto macro = m_macros.constFind(name);
        if (macro == m_macros.constEnd() || m_expanding.contains(name)) {
            out->append(*t);
            continue;
        }
        if (macro->function)
            return fail(*t,
                        QStringLiteral("%1 is a macro with arguments, which the reader does "
                                       "not expand")
                            .arg(QString::fromLatin1(name)));
        if (depth >= MaxMacroDepth)
            return fail(*t, QStringLiteral("macros nest too deeply"));
        m_expanding.insert(name);
        const bool ok = expand(macro->body.constData(),
                               macro->body.constData() + macro->body.size(), depth + 1, out);
        m_expanding.remove(name);
        if (!ok)
            return false;
    }
    return true;
}

bool Evaluator::evaluate(const CExpression &expression, int line, qint64 *value, QString *error)
{
    m_line = line;
    m_error.clear();
    m_tokens.clear();
    m_at = 0;
    m_nesting = 0;
    m_fromMacros = 0;
    CToken endToken;
    endToken.line = line;
    bool ok =
        expand(expression.constData(), expression.constData() + expression.size(), 0, &m_tokens);
    if (ok && m_tokens.isEmpty()) {
        ok = fail(endToken, QStringLiteral("an expression is missing"));
    } else if (ok) {
        ok = conditional(value);
        if (ok && m_at < m_tokens.size())
            ok = fail(m_tokens.at(m_at),
                      QStringLiteral("'%1' does not belong in the expression")
                          .arg(QString::fromLatin1(textOf(m_tokens.at(m_at)).left(40))));
    }
    if (!ok && error)
        *error = m_error;
    return ok;
}

bool Evaluator::conditional(qint64 *v)
{
    if (!binary(0, v))
        return false;
    if (!isPunctuator("?"))
        return true;
    const CToken &question = m_tokens.at(m_at++);
    if (++m_nesting > MaxNesting)
        return fail(question, QStringLiteral("the expression nests too deeply"));
    qint64 a = 0;
    qint64 b = 0;
    if (!conditional(&a))
        return false;
    if (!isPunctuator(":"))
        return fail(question, QStringLiteral("'?' without ':'"));
    ++m_at;
    if (!conditional(&b))
        return false;
    --m_nesting;
    *v = *v ? a : b;
    return true;
}

// The binary operators by precedence, lowest first.
const char *const binaryLevels[][5] = {
    {"||"},       {"&&"},     {"|"},           {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
    {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"},
};
constexpr int BinaryLevelCount = int(sizeof(binaryLevels) / sizeof(binaryLevels[0]));

bool Evaluator::binary(int level, qint64 *v)
{
    if (level == BinaryLevelCount)
        return unary(v);
    if (!binary(level + 1, v))
        return false;
    for (;;) {
        const char *op = nullptr;
        for (const char *candidate : binaryLevels[level]) {
            if (candidate && isPunctuator(candidate)) {
                op = candidate;
                break;
            }
        }
        if (!op)
            return true;
        const CToken &at = m_tokens.at(m_at++);
        qint64 right = 0;
        if (!binary(level + 1, &right))
            return false;
        m_line = at.line;
        if (!apply(op, *v, right, v))
            return fail(at, QStringLiteral("the value of an expression overflows"));
    }
}

bool Evaluator::apply(const QByteArray &op, qint64 a, qint64 b, qint64 *v)
{
    if (op == "||")
        *v = a || b;
    else if (op == "&&")
        *v = a && b;
    else if (op == "|")
        *v = a | b;
    else if (op == "^")
        *v = a ^ b;
    else if (op == "&")
        *v = a & b;
    else if (op == "==")
        *v = a == b;
    else if (op == "!=")
        *v = a != b;
    else if (op == "<")
        *v = a < b;
    else if (op == ">")
        *v = a > b;
    else if (op == "<=")
        *v = a <= b;
    else if (op == ">=")
        *v = a >= b;
    else if (op == "<<") {
        if (b < 0 || b > 62 || a < 0 || a > (MaxValue >> b))
            return false;
        *v = a << b;
    } else if (op == ">>") {
        if (b < 0 || b > 63)
            return false;
        *v = a >> b;
    } else if (op == "+") {
        if ((b > 0 && a > MaxValue - b) || (b < 0 && a < MinValue - b))
            return false;
        *v = a + b;
    } else if (op == "-") {
        if ((b < 0 && a > MaxValue + b) || (b > 0 && a < MinValue + b))
            return false;
        *v = a - b;
    } else if (op == "*") {
        if (a != 0 && b != 0) {
            const bool negative = (a < 0) != (b < 0);
            if (a == MinValue || b == MinValue)
                return false;
            const qint64 ua = a < 0 ? -a : a;
            const qint64 ub = b < 0 ? -b : b;
            if (ua > MaxValue / ub)
                return false;
            *v = negative ? -(ua * ub) : ua * ub;
        } else {
            *v = 0;
        }
    } else {
        // "/" and "%"
        if (b == 0) {
            m_error = lineError(m_line, QStringLiteral("a division by zero"));
            return false;
        }
        if (a == MinValue && b == -1)
            return false;
        *v = op == "/" ? a / b : a % b;
    }
    return true;
}

bool Evaluator::unary(qint64 *v)
{
    for (const char *op : {"-", "+", "!", "~"}) {
        if (!isPunctuator(op))
            continue;
        const CToken &at = m_tokens.at(m_at++);
        if (++m_nesting > MaxNesting)
            return fail(at, QStringLiteral("the expression nests too deeply"));
        if (!unary(v))
            return false;
        --m_nesting;
        if (*op == '-') {
            if (*v == MinValue)
                return fail(at, QStringLiteral("the value of an expression overflows"));
            *v = -*v;
        } else if (*op == '!') {
            *v = !*v;
        } else if (*op == '~') {
            *v = ~*v;
        }
        return true;
    }
    return primary(v);
}

bool Evaluator::primary(qint64 *v)
{
    if (m_at >= m_tokens.size()) {
        CToken end;
        end.line = m_tokens.isEmpty() ? m_line : m_tokens.last().line;
        return fail(end, QStringLiteral("an expression ends too early"));
    }
    const CToken &t = m_tokens.at(m_at);
    if (isPunctuator("(")) {
        ++m_at;
        if (++m_nesting > MaxNesting)
            return fail(t, QStringLiteral("the expression nests too deeply"));
        if (!conditional(v))
            return false;
        --m_nesting;
        if (!isPunctuator(")"))
            return fail(t, QStringLiteral("'(' without ')'"));
        ++m_at;
        return true;
    }
    if (t.kind == CToken::Number) {
        if (t.tooLarge)
            return fail(t,
                        QStringLiteral("the number %1 is too large")
                            .arg(QString::fromLatin1(textOf(t).left(40))));
        *v = qint64(t.value);
        ++m_at;
        return true;
    }
    const QByteArray name = textOf(t);
    if (t.kind == CToken::Identifier && !m_preprocessor && name == "sizeof") {
        ++m_at;
        const bool parenthesised = isPunctuator("(");
        if (parenthesised)
            ++m_at;
        if (m_at >= m_tokens.size() || m_tokens.at(m_at).kind != CToken::Identifier)
            return fail(t, QStringLiteral("sizeof needs the name of an array"));
        const QByteArray array = textOf(m_tokens.at(m_at++));
        if (parenthesised) {
            if (!isPunctuator(")"))
                return fail(t, QStringLiteral("'(' without ')'"));
            ++m_at;
        }
        const auto size =
            m_arrays ? m_arrays->constFind(array) : QHash<QByteArray, qint64>::const_iterator();
        if (!m_arrays || size == m_arrays->constEnd())
            return fail(t,
                        QStringLiteral("sizeof(%1) names no array of the file")
                            .arg(QString::fromLatin1(array.left(40))));
        *v = *size;
        return true;
    }
    if (t.kind == CToken::Identifier && !m_preprocessor && m_lookup && (*m_lookup)(name, v)) {
        ++m_at;
        return true;
    }
    if (t.kind == CToken::Identifier)
        return fail(t,
                    m_preprocessor
                        ? QStringLiteral("the condition uses %1, which the reader does not know")
                              .arg(QString::fromLatin1(name.left(60)))
                        : QStringLiteral("%1 is not a name the reader knows")
                              .arg(QString::fromLatin1(name.left(60))));
    return fail(t,
                QStringLiteral("'%1' does not belong in the expression")
                    .arg(QString::fromLatin1(name.left(40))));
}

// The declarations of the file, read for one setting. Tokens read only in
// other settings are skipped, except the numbers of an array, which are
// counted for the settings they belong to.
class Parser
{
public:
    Parser(Scanner &scanner, const QByteArray &text, Setting setting)
        : m_scanner(scanner)
        , m_text(text)
        , m_bit(quint8(1u << setting))
    {
    }

    bool run();

    QString error;
    struct Array
    {
        QByteArray bytes;
        int line = 0;
        qint64 sectionBytes[CArrayReader::SettingCount] = {};
        CExpression size; // the declared size, when given
    };
    QHash<QByteArray, Array> arrays;
    CImageSource image;
    bool haveDescriptor = false;

private:
    bool next(CToken *t);
    QByteArray textOf(const CToken &t) const { return m_text.mid(t.offset, t.length); }
    bool is(const CToken &t, char c) const
    {
        return t.kind == CToken::Punctuator && t.length == 1 && m_text.at(t.offset) == c;
    }
    bool fail(int line, const QString &message)
    {
        if (error.isEmpty())
            error = lineError(line, message);
        return false;
    }
    QString quoted(const CToken &t) const
    {
        return t.kind == CToken::End
            ? QStringLiteral("the end of the file")
            : QLatin1Char('\'') + QString::fromUtf8(textOf(t).left(40)) + QLatin1Char('\'');
    }

    bool declaration(CToken t);
    bool skipBalanced(CToken *t, char open, char close);
    bool arrayBody(Array *array);
    bool descriptorBody(const QByteArray &prefix, int depth);

    Scanner &m_scanner;
    const QByteArray &m_text;
    const quint8 m_bit;
};

bool Parser::next(CToken *t)
{
    do {
        if (!m_scanner.next(t)) {
            error = m_scanner.error;
            return false;
        }
    } while (!(t->mask & m_bit));
    return true;
}

bool Parser::run()
{
    CToken t;
    for (;;) {
        if (!next(&t))
            return false;
        if (t.kind == CToken::End)
            return true;
        if (!declaration(t))
            return false;
    }
}

// Skips from the opening token t up to its matching close; t is then the
// token after it.
bool Parser::skipBalanced(CToken *t, char open, char close)
{
    const int line = t->line;
    int depth = 0;
    do {
        if (is(*t, open))
            ++depth;
        else if (is(*t, close))
            --depth;
        else if (t->kind == CToken::End)
            return fail(line,
                        QStringLiteral("'%1' without '%2'")
                            .arg(QString(QLatin1Char(open)), QString(QLatin1Char(close))));
        if (!next(t))
            return false;
    } while (depth > 0);
    return true;
}

bool Parser::declaration(CToken t)
{
    const int line = t.line;
    if (is(t, ';'))
        return true;
    if (t.kind == CToken::Identifier
        && (textOf(t) == "LV_IMG_DECLARE" || textOf(t) == "LV_IMAGE_DECLARE")) {
        // LV_IMG_DECLARE(name); the semicolon is optional.
        CToken open, name, close;
        if (!next(&open) || !next(&name) || !next(&close))
            return false;
        if (!is(open, '(') || name.kind != CToken::Identifier || !is(close, ')'))
            return fail(line,
                        QStringLiteral("%1 needs one name in parentheses")
                            .arg(QString::fromLatin1(textOf(t))));
        return true;
    }

    // Specifiers and the declared name, up to '[', '=' or ';'.
    QVector<QByteArray> words;
    for (;;) {
        if (t.kind == CToken::Identifier && textOf(t) == "__attribute__") {
            if (!next(&t))
                return false;
            if (!is(t, '('))
                return fail(t.line, QStringLiteral("__attribute__ without its parentheses"));
            if (!skipBalanced(&t, '(', ')'))
                return false;
            continue;
        }
        if (t.kind != CToken::Identifier)
            break;
        words.append(textOf(t));
        if (!next(&t))
            return false;
    }
    if (words.isEmpty())
        return fail(t.line,
                    QStringLiteral("%1 does not begin a declaration of an image array "
                                   "or descriptor")
                        .arg(quoted(t)));
    const QByteArray name = words.takeLast();
    const bool descriptor = words.contains("lv_img_dsc_t") || words.contains("lv_image_dsc_t");
    const bool bytes =
        words.contains("uint8_t") || (words.contains("unsigned") && words.contains("char"));
    if (!descriptor && !bytes) {
        if (words.isEmpty())
            return fail(
                line,
                QStringLiteral("%1 is not a declaration of an image array or "
                               "descriptor")
                    .arg(QLatin1Char('\'') + QString::fromUtf8(name.left(40)) + QLatin1Char('\'')));
        return fail(
            line,
            QStringLiteral("'%1' is declared as '%2', not as an image array or "
                           "descriptor")
                .arg(QString::fromUtf8(name.left(40)), QString::fromUtf8(words.last().left(40))));
    }

    Array array;
    array.line = line;
    bool isArray = false;
    if (is(t, '[')) {
        isArray = true;
        for (;;) {
            if (!next(&t))
                return false;
            if (is(t, ']') || t.kind == CToken::End)
                break;
            array.size.append(t);
        }
        if (!is(t, ']'))
            return fail(line, QStringLiteral("'[' without ']'"));
        if (!next(&t))
            return false;
        while (t.kind == CToken::Identifier && textOf(t) == "__attribute__") {
            if (!next(&t))
                return false;
            if (!is(t, '(') || !skipBalanced(&t, '(', ')'))
                return fail(t.line, QStringLiteral("__attribute__ without its parentheses"));
        }
    }
    if (descriptor && isArray)
        return fail(line, QStringLiteral("an array of image descriptors is not read"));
    if (bytes && !isArray)
        return fail(line,
                    QStringLiteral("'%1' is a single byte, not an image array")
                        .arg(QString::fromUtf8(name.left(40))));

    if (is(t, ';'))
        return true; // a declaration without an initialiser
    if (!is(t, '='))
        return fail(t.line,
                    QStringLiteral("expected '=' or ';' after '%1', found %2")
                        .arg(QString::fromUtf8(name.left(40)), quoted(t)));
    CToken open;
    if (!next(&open))
        return false;
    if (!is(open, '{'))
        return fail(open.line,
                    QStringLiteral("expected '{' to start the values of '%1', found %2")
                        .arg(QString::fromUtf8(name.left(40)), quoted(open)));

    if (bytes) {
        if (arrays.contains(name))
            return fail(
                line,
                QStringLiteral("'%1' is defined twice").arg(QString::fromUtf8(name.left(40))));
        if (!arrayBody(&array))
            return false;
        arrays.insert(name, array);
    } else {
        if (haveDescriptor)
            return fail(line,
                        QStringLiteral("a second image descriptor, '%1': the reader takes "
                                       "files with one image")
                            .arg(QString::fromUtf8(name.left(40))));
        haveDescriptor = true;
        image.type = descriptor && words.contains("lv_image_dsc_t") ? QByteArray("lv_image_dsc_t")
                                                                    : QByteArray("lv_img_dsc_t");
        image.name = name;
        image.line = line;
        if (!descriptorBody(QByteArray(), 0))
            return false;
    }
    CToken end;
    if (!next(&end))
        return false;
    if (!is(end, ';'))
        return fail(end.line,
                    QStringLiteral("expected ';' after the values of '%1', found %2")
                        .arg(QString::fromUtf8(name.left(40)), quoted(end)));
    return true;
}

bool Parser::arrayBody(Array *array)
{
    // The hot loop of a large file: number, comma, number...
    bool expectValue = true;
    for (;;) {
        CToken t;
        if (!m_scanner.next(&t)) {
            error = m_scanner.error;
            return false;
        }
        if (!(t.mask & m_bit)) {
            // A value of another depth's section.
            if (t.kind == CToken::Number && t.mask != AllSettings) {
                for (int s = 0; s < CArrayReader::SettingCount; ++s) {
                    if (t.mask & (1u << s))
                        ++array->sectionBytes[s];
                }
            }
            continue;
        }
        if (t.kind == CToken::Number && expectValue) {
            if (t.tooLarge || t.value > 255)
                return fail(t.line,
                            QStringLiteral("the value %1 does not fit a byte")
                                .arg(QString::fromLatin1(textOf(t).left(40))));
            array->bytes.append(char(t.value));
            if (t.mask != AllSettings) {
                for (int s = 0; s < CArrayReader::SettingCount; ++s) {
                    if (t.mask & (1u << s))
                        ++array->sectionBytes[s];
                }
            }
            expectValue = false;
        } else if (is(t, ',') && !expectValue) {
            expectValue = true;
        } else if (is(t, '}')) {
            return true; // after a value or a trailing comma
        } else {
            return fail(t.line,
                        expectValue
                            ? QStringLiteral("expected a byte value, found %1").arg(quoted(t))
                            : QStringLiteral("expected ',' or '}', found %1").arg(quoted(t)));
        }
    }
}

bool Parser::descriptorBody(const QByteArray &prefix, int depth)
{
    static const char *const known[] = {
        "header.cf",         "header.w",     "header.h",     "header.always_zero",
        "header.reserved",   "header.magic", "header.flags", "header.stride",
        "header.reserved_2", "data_size",    "data",
    };
    CToken t;
    if (!next(&t))
        return false;
    for (;;) {
        if (is(t, '}'))
            return true;
        if (!is(t, '.'))
            return fail(t.line,
                        QStringLiteral("expected a named field (.header.w = ...), found %1; "
                                       "fields given by position are not read")
                            .arg(quoted(t)));
        const int line = t.line;
        QByteArray field = prefix;
        while (is(t, '.')) {
            CToken member;
            if (!next(&member))
                return false;
            if (member.kind != CToken::Identifier)
                return fail(member.line,
                            QStringLiteral("expected a field name after '.', found %1")
                                .arg(quoted(member)));
            if (!field.isEmpty())
                field += '.';
            field += textOf(member);
            if (!next(&t))
                return false;
        }
        if (!is(t, '='))
            return fail(t.line,
                        QStringLiteral("expected '=' after .%1, found %2")
                            .arg(QString::fromUtf8(field.left(40)), quoted(t)));
        CToken value;
        if (!next(&value))
            return false;
        if (is(value, '{')) {
            if (depth > 0 || field != "header")
                return fail(value.line,
                            QStringLiteral("braces are read only around the fields "
                                           "of .header"));
            if (!descriptorBody(field, depth + 1) || !next(&t))
                return false;
        } else {
            bool isKnown = false;
            for (const char *k : known)
                isKnown = isKnown || field == k;
            if (!isKnown)
                return fail(line,
                            QStringLiteral("the field .%1 is not one the reader knows")
                                .arg(QString::fromUtf8(field.left(60))));
            for (const CImageSource::Field &f : qAsConst(image.fields)) {
                if (f.name == field)
                    return fail(line,
                                QStringLiteral("the field .%1 is given twice")
                                    .arg(QString::fromUtf8(field)));
            }
            CImageSource::Field f;
            f.name = field;
            f.line = line;
            // The value runs to the ',' or '}' outside parentheses.
            int parens = 0;
            t = value;
            for (;;) {
                if (t.kind == CToken::End)
                    return fail(line, QStringLiteral("the descriptor never ends"));
                if (parens == 0 && (is(t, ',') || is(t, '}')))
                    break;
                if (is(t, '{') || is(t, ';'))
                    return fail(t.line,
                                QStringLiteral("unexpected %1 in the value of .%2")
                                    .arg(quoted(t), QString::fromUtf8(field)));
                if (is(t, '('))
                    ++parens;
                else if (is(t, ')') && --parens < 0)
                    return fail(t.line, QStringLiteral("')' without '('"));
                f.value.append(t);
                if (!next(&t))
                    return false;
            }
            if (f.value.isEmpty())
                return fail(line, QStringLiteral(".%1 has no value").arg(QString::fromUtf8(field)));
            image.fields.append(f);
        }
        if (is(t, ',')) {
            if (!next(&t))
                return false;
        } else if (!is(t, '}')) {
            return fail(t.line, QStringLiteral("expected ',' or '}', found %1").arg(quoted(t)));
        }
    }
}

} // namespace

QString CArrayReader::settingName(Setting setting)
{
    static const char *const names[SettingCount] = {"8", "16", "16swap", "32"};
    return QLatin1String(names[setting]);
}

CArrayReader::CArrayReader(Setting setting)
    : m_setting(setting)
{
}

bool CArrayReader::fail(int line, const QString &message)
{
    m_error = lineError(line, message);
    return false;
}

const CImageSource::Field *CArrayReader::field(const char *name) const
{
    for (const CImageSource::Field &f : m_image.fields) {
        if (f.name == name)
            return &f;
    }
    return nullptr;
}

bool CArrayReader::read(const QByteArray &source)
{
    m_text = source;
    m_error.clear();
    m_image = CImageSource();
    m_macros.clear();
    m_arraySizes.clear();

    Scanner scanner(m_text);
    Parser parser(scanner, m_text, m_setting);
    if (!parser.run()) {
        m_error = parser.error;
        return false;
    }
    if (!scanner.stop[m_setting].isNull()) {
        return fail(scanner.stopLine[m_setting],
                    QStringLiteral("the file stops the build at LV_COLOR_DEPTH %1: #error %2")
                        .arg(settingName(m_setting), scanner.stop[m_setting]));
    }
    m_macros = scanner.macros[m_setting];
    const int lastLine = source.count('\n') + 1;
    if (!parser.haveDescriptor)
        return fail(lastLine,
                    QStringLiteral("the file ends without an image descriptor "
                                   "(lv_img_dsc_t or lv_image_dsc_t)"));
    m_image = parser.image;

    // Declared sizes: a longer array is padded with zeros, as C does; a
    // shorter one does not compile.
    for (auto it = parser.arrays.begin(); it != parser.arrays.end(); ++it) {
        Parser::Array &array = it.value();
        if (!array.size.isEmpty()) {
            qint64 size = 0;
            Evaluator evaluator(m_text, m_setting, m_macros);
            if (!evaluator.evaluate(array.size, array.line, &size, &m_error))
                return false;
            if (size < array.bytes.size())
                return fail(array.line,
                            QStringLiteral("'%1' has %2 values for %3 bytes")
                                .arg(QString::fromUtf8(it.key().left(40)))
                                .arg(array.bytes.size())
                                .arg(size));
            if (size > array.bytes.size() + MaxPadding)
                return fail(array.line,
                            QStringLiteral("'%1' declares %2 bytes, far more than it "
                                           "has values for")
                                .arg(QString::fromUtf8(it.key().left(40)))
                                .arg(size));
            array.bytes.append(QByteArray(int(size - array.bytes.size()), '\0'));
        }
        m_arraySizes.insert(it.key(), array.bytes.size());
    }

    // .data: the array, maybe cast, maybe as &array[0].
    const CImageSource::Field *data = field("data");
    if (!data)
        return fail(m_image.line,
                    QStringLiteral("the descriptor '%1' has no .data")
                        .arg(QString::fromUtf8(m_image.name)));
    CExpression tokens = data->value;
    const auto isChar = [this](const CToken &t, char c) {
        return t.kind == CToken::Punctuator && t.length == 1 && m_text.at(t.offset) == c;
    };
    if (!tokens.isEmpty() && isChar(tokens.first(), '(')) {
        int close = 1;
        while (close < tokens.size() && !isChar(tokens.at(close), ')'))
            ++close;
        tokens = tokens.mid(close + 1);
    }
    if (tokens.size() == 5 && isChar(tokens.at(0), '&') && isChar(tokens.at(2), '[')
        && tokens.at(3).kind == CToken::Number && tokens.at(3).value == 0
        && isChar(tokens.at(4), ']'))
        tokens = tokens.mid(1, 1);
    if (tokens.size() != 1 || tokens.first().kind != CToken::Identifier)
        return fail(
            data->line,
            QStringLiteral(".data is '%1', not the name of an array").arg(text(data->value)));
    const QByteArray name = m_text.mid(tokens.first().offset, tokens.first().length);
    const auto array = parser.arrays.constFind(name);
    if (array == parser.arrays.constEnd())
        return fail(data->line,
                    QStringLiteral(".data names '%1', which the file does not define")
                        .arg(QString::fromUtf8(name.left(40))));
    m_image.arrayName = name;
    m_image.arrayLine = array->line;
    m_image.data = array->bytes;
    for (int s = 0; s < SettingCount; ++s) {
        if (array->sectionBytes[s] > 0)
            m_image.sections << settingName(Setting(s));
    }
    return true;
}

bool CArrayReader::evaluate(const CExpression &expression, const Lookup &lookup, qint64 *value,
                            QString *error) const
{
    Evaluator evaluator(m_text, m_setting, m_macros);
    evaluator.setFieldNames(&lookup, &m_arraySizes);
    const int line = expression.isEmpty() ? 0 : expression.first().line;
    return evaluator.evaluate(expression, line, value, error);
}

QString CArrayReader::text(const CExpression &expression) const
{
    if (expression.isEmpty())
        return QString();
    const int from = expression.first().offset;
    const int to = expression.last().offset + expression.last().length;
    QString result = QString::fromUtf8(m_text.mid(from, qMin(to - from, 80))).simplified();
    return result;
}

} // namespace Convert
