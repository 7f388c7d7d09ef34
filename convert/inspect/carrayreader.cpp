#include "carrayreader.h"

#include <cstring>
#include <limits>
#include <vector>

namespace Convert {

namespace {

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

QString lineError(int line, const QString &message)
{
    return QStringLiteral("line %1: %2").arg(line).arg(message);
}

// Bytes of the file as a message quotes them: printable ASCII as it is,
// every other byte as \xNN, so that a NUL, a byte-order mark or a broken
// UTF-8 sequence shows for what it is. At most limit bytes.
QString shown(const char *data, int length, int limit = 40)
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

QString shown(const QByteArray &bytes, int limit = 40)
{
    return shown(bytes.constData(), bytes.size(), limit);
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

bool sameText(const char *data, int length, const char *word)
{
    return int(std::strlen(word)) == length && std::memcmp(data, word, size_t(length)) == 0;
}

bool isBuiltIn(const char *name, int length, int setting, qint64 *value)
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
QByteArray nameKey(const QByteArray &text, const CToken &t)
{
    return QByteArray::fromRawData(text.constData() + t.offset, t.length);
}

} // namespace

struct CArrayReader::Budget
{
    explicit Budget(qint64 fileBytes)
        : fileBytes(fileBytes)
        , tokens(BaseTokens + TokensPerByte * fileBytes)
        , bytes(BaseBytes + fileBytes)
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
            .arg(BaseTokens + TokensPerByte * fileBytes)
            .arg(fileBytes);
    }
    QString bytesError() const
    {
        return QStringLiteral("the file is too complex to read: its definitions, arrays and "
                              "conditionals need more than the %1 bytes of memory allowed for a "
                              "file of %2 bytes")
            .arg(BaseBytes + fileBytes)
            .arg(fileBytes);
    }

    const qint64 fileBytes;
    qint64 tokens;
    qint64 bytes;
};

namespace {

// The sizes of an array, one for each setting (sizeof).
struct ArraySizes
{
    qint64 size[SettingCount] = {};
};
using ArrayTable = QHash<QByteArray, ArraySizes>;

} // namespace

struct CArrayReader::Pass
{
    Macros macros[SettingCount]; // as defined at the end of the file
    ArrayTable arrays;
    // The bytes of the array .data names, and its size with the padding.
    QByteArray data[SettingCount];
    qint64 dataSize[SettingCount] = {};
    // Why a setting other than the one read cannot be read.
    QString errors[SettingCount];
    // The declarations differ between settings: another setting is read in
    // a pass of its own.
    bool divergent = false;
};

namespace {

using Budget = CArrayReader::Budget;

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

// The precedence level of a binary operator, lowest first; -1 for a token
// that is none.
constexpr int BinaryLevelCount = 10;
int binaryLevel(const CToken &t)
{
    if (t.kind != CToken::Punctuator)
        return -1;
    switch (t.value) {
    case op('|', '|'):
        return 0;
    case op('&', '&'):
        return 1;
    case op('|'):
        return 2;
    case op('^'):
        return 3;
    case op('&'):
        return 4;
    case op('=', '='):
    case op('!', '='):
        return 5;
    case op('<'):
    case op('>'):
    case op('<', '='):
    case op('>', '='):
        return 6;
    case op('<', '<'):
    case op('>', '>'):
        return 7;
    case op('+'):
    case op('-'):
        return 8;
    case op('*'):
    case op('/'):
    case op('%'):
        return 9;
    default:
        return -1;
    }
}

// Evaluates a C integer expression: the preprocessor's (with defined(),
// every other name an error) or a field's (with sizeof and the caller's
// names). The tokens are read one at a time, from a vector or from the
// text, and macros are expanded from their text as they come, so an
// evaluation takes memory for its nesting only.
class Evaluator
{
public:
    Evaluator(const QByteArray &text, int setting, const Macros &macros, Budget *budget)
        : m_text(text)
        , m_setting(setting)
        , m_macros(macros)
        , m_budget(budget)
    {
    }

    void setFieldNames(const CArrayReader::Lookup *lookup, const ArrayTable *arrays)
    {
        m_preprocessor = false;
        m_lookup = lookup;
        m_arrays = arrays;
    }

    // Tokens gathered by the parser.
    bool evaluate(const CExpression &expression, int line, qint64 *value, QString *error);
    // The text of a directive, from begin to end.
    bool evaluate(int begin, int end, int line, qint64 *value, QString *error);

private:
    struct Frame
    {
        Lexer lexer;
        const CArrayReader::Macro *macro;
    };

    bool run(qint64 *value, QString *error);
    bool pull(CToken *t);
    bool advance();
    bool expanding(const CArrayReader::Macro *macro) const;
    bool fail(const CToken &at, const QString &message);
    bool failExpansion(const CToken &at, const QString &message);
    bool isOp(quint64 code) const
    {
        return m_cur.kind == CToken::Punctuator && m_cur.value == code;
    }
    QString textOf(const CToken &t) const { return shown(m_text.constData() + t.offset, t.length); }

    // Recursive descent, lowest precedence first.
    bool conditional(qint64 *v);
    bool binary(int level, qint64 *v);
    bool unary(qint64 *v);
    bool primary(qint64 *v);
    bool apply(quint64 code, qint64 a, qint64 b, qint64 *v);

    const QByteArray &m_text;
    const int m_setting;
    const Macros &m_macros;
    Budget *const m_budget;
    bool m_preprocessor = true;
    const CArrayReader::Lookup *m_lookup = nullptr;
    const ArrayTable *m_arrays = nullptr;

    // The source: a vector, or the text.
    const CToken *m_at = nullptr;
    const CToken *m_end = nullptr;
    bool m_fromText = false;
    Lexer m_source;
    std::vector<Frame> m_frames; // the macros being expanded, innermost last

    CToken m_cur; // the token looked at
    int m_lastLine = 0;
    int m_nesting = 0;
    int m_fromMacros = 0; // tokens that macros expanded to
    int m_line = 0;
    int m_startLine = 0; // where the expression begins
    QString m_error;
    QString m_expansionError; // the expansion failed, which is reported first
};

bool Evaluator::fail(const CToken &at, const QString &message)
{
    if (m_error.isEmpty())
        m_error = lineError(at.line ? at.line : m_line, message);
    return false;
}

bool Evaluator::failExpansion(const CToken &at, const QString &message)
{
    if (m_expansionError.isEmpty())
        m_expansionError = lineError(at.line ? at.line : m_line, message);
    return false;
}

bool Evaluator::expanding(const CArrayReader::Macro *macro) const
{
    for (const Frame &frame : m_frames) {
        if (frame.macro == macro)
            return true;
    }
    return false;
}

// The next token of the source or of the macro being expanded, not itself
// expanded; End at the end of the expression.
bool Evaluator::pull(CToken *t)
{
    bool fromMacro = false;
    for (;;) {
        if (m_frames.empty()) {
            if (m_fromText) {
                if (m_source.skipSpace(true) && !m_source.atEnd()) {
                    m_source.lex(t);
                    break;
                }
            } else if (m_at < m_end) {
                *t = *m_at++;
                break;
            }
            *t = CToken();
            t->line = m_lastLine ? m_lastLine : m_line;
            return true;
        }
        Lexer &lexer = m_frames.back().lexer;
        if (lexer.skipSpace(true) && !lexer.atEnd()) {
            lexer.lex(t);
            fromMacro = true;
            break;
        }
        m_frames.pop_back();
    }
    if (!m_budget->spendTokens(1)) {
        // Named by the line of the expression that spent the rest.
        CToken at;
        at.line = m_startLine;
        return failExpansion(at, m_budget->tokensError());
    }
    if (fromMacro && ++m_fromMacros > MaxExpandedTokens)
        return failExpansion(*t, QStringLiteral("the macros expand too far"));
    m_lastLine = t->line;
    return true;
}

// The next token of the expression, its macros expanded, into m_cur.
bool Evaluator::advance()
{
    for (;;) {
        CToken t;
        if (!pull(&t))
            return false;
        if (t.kind != CToken::Identifier) {
            m_cur = t;
            return true;
        }
        const char *name = m_text.constData() + t.offset;
        if (m_preprocessor && sameText(name, t.length, "defined")) {
            // defined NAME or defined ( NAME ); the name is not expanded.
            CToken id;
            if (!pull(&id))
                return false;
            const bool parenthesised = id.kind == CToken::Punctuator && id.value == op('(');
            if (parenthesised && !pull(&id))
                return false;
            if (id.kind != CToken::Identifier)
                return failExpansion(t, QStringLiteral("defined needs a name"));
            if (parenthesised) {
                CToken close;
                if (!pull(&close))
                    return false;
                if (close.kind != CToken::Punctuator || close.value != op(')'))
                    return failExpansion(t, QStringLiteral("defined needs a name"));
            }
            qint64 ignored;
            const char *macro = m_text.constData() + id.offset;
            t.kind = CToken::Number;
            t.value = m_macros.contains(nameKey(m_text, id))
                || isBuiltIn(macro, id.length, m_setting, &ignored);
            m_cur = t;
            return true;
        }
        qint64 builtIn = 0;
        if (isBuiltIn(name, t.length, m_setting, &builtIn)) {
            t.kind = CToken::Number;
            t.value = quint64(builtIn);
            m_cur = t;
            return true;
        }
        const auto macro = m_macros.constFind(nameKey(m_text, t));
        if (macro == m_macros.constEnd() || expanding(&macro.value())) {
            m_cur = t;
            return true;
        }
        if (macro->function)
            return failExpansion(t,
                                 QStringLiteral("%1 is a macro with arguments, which the reader "
                                                "does not expand")
                                     .arg(textOf(t)));
        if (int(m_frames.size()) >= MaxMacroDepth)
            return failExpansion(t, QStringLiteral("macros nest too deeply"));
        m_frames.push_back({Lexer(m_text, macro->begin, macro->end, macro->line), &macro.value()});
    }
}

bool Evaluator::evaluate(const CExpression &expression, int line, qint64 *value, QString *error)
{
    m_at = expression.constData();
    m_end = m_at + expression.size();
    m_fromText = false;
    m_line = m_startLine = line;
    return run(value, error);
}

bool Evaluator::evaluate(int begin, int end, int line, qint64 *value, QString *error)
{
    m_source = Lexer(m_text, begin, end, line);
    m_fromText = true;
    m_line = m_startLine = line;
    return run(value, error);
}

bool Evaluator::run(qint64 *value, QString *error)
{
    m_error.clear();
    m_expansionError.clear();
    m_frames.clear();
    m_nesting = 0;
    m_fromMacros = 0;
    m_lastLine = 0;
    bool ok = advance();
    if (ok && m_cur.kind == CToken::End) {
        CToken at;
        at.line = m_line;
        ok = fail(at, QStringLiteral("an expression is missing"));
    } else if (ok) {
        ok = conditional(value);
        if (ok && m_cur.kind != CToken::End)
            ok = fail(m_cur,
                      QStringLiteral("'%1' does not belong in the expression").arg(textOf(m_cur)));
    }
    // A macro that cannot be expanded is the first thing to say, wherever
    // the expression went wrong.
    if (!ok && m_expansionError.isEmpty()) {
        while (m_cur.kind != CToken::End && advance()) { }
    }
    if (!ok && error)
        *error = m_expansionError.isEmpty() ? m_error : m_expansionError;
    return ok;
}

bool Evaluator::conditional(qint64 *v)
{
    if (!binary(0, v))
        return false;
    if (!isOp(op('?')))
        return true;
    const CToken question = m_cur;
    if (!advance())
        return false;
    if (++m_nesting > MaxNesting)
        return fail(question, QStringLiteral("the expression nests too deeply"));
    qint64 a = 0;
    qint64 b = 0;
    if (!conditional(&a))
        return false;
    if (!isOp(op(':')))
        return fail(question, QStringLiteral("'?' without ':'"));
    if (!advance() || !conditional(&b))
        return false;
    --m_nesting;
    *v = *v ? a : b;
    return true;
}

bool Evaluator::binary(int level, qint64 *v)
{
    if (level == BinaryLevelCount)
        return unary(v);
    if (!binary(level + 1, v))
        return false;
    while (binaryLevel(m_cur) == level) {
        const CToken at = m_cur;
        if (!advance())
            return false;
        qint64 right = 0;
        if (!binary(level + 1, &right))
            return false;
        m_line = at.line;
        if (!apply(at.value, *v, right, v))
            return fail(at, QStringLiteral("the value of an expression overflows"));
    }
    return true;
}

bool Evaluator::apply(quint64 code, qint64 a, qint64 b, qint64 *v)
{
    switch (code) {
    case op('|', '|'):
        *v = a || b;
        return true;
    case op('&', '&'):
        *v = a && b;
        return true;
    case op('|'):
        *v = a | b;
        return true;
    case op('^'):
        *v = a ^ b;
        return true;
    case op('&'):
        *v = a & b;
        return true;
    case op('=', '='):
        *v = a == b;
        return true;
    case op('!', '='):
        *v = a != b;
        return true;
    case op('<'):
        *v = a < b;
        return true;
    case op('>'):
        *v = a > b;
        return true;
    case op('<', '='):
        *v = a <= b;
        return true;
    case op('>', '='):
        *v = a >= b;
        return true;
    case op('<', '<'):
        if (b < 0 || b > 62 || a < 0 || a > (MaxValue >> b))
            return false;
        *v = a << b;
        return true;
    case op('>', '>'):
        if (b < 0 || b > 63)
            return false;
        *v = a >> b;
        return true;
    case op('+'):
        if ((b > 0 && a > MaxValue - b) || (b < 0 && a < MinValue - b))
            return false;
        *v = a + b;
        return true;
    case op('-'):
        if ((b < 0 && a > MaxValue + b) || (b > 0 && a < MinValue + b))
            return false;
        *v = a - b;
        return true;
    case op('*'):
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
        return true;
    default:
        // '/' and '%'
        if (b == 0) {
            m_error = lineError(m_line, QStringLiteral("a division by zero"));
            return false;
        }
        if (a == MinValue && b == -1)
            return false;
        *v = code == op('/') ? a / b : a % b;
        return true;
    }
}

bool Evaluator::unary(qint64 *v)
{
    for (const char c : {'-', '+', '!', '~'}) {
        if (!isOp(op(c)))
            continue;
        const CToken at = m_cur;
        if (!advance())
            return false;
        if (++m_nesting > MaxNesting)
            return fail(at, QStringLiteral("the expression nests too deeply"));
        if (!unary(v))
            return false;
        --m_nesting;
        if (c == '-') {
            if (*v == MinValue)
                return fail(at, QStringLiteral("the value of an expression overflows"));
            *v = -*v;
        } else if (c == '!') {
            *v = !*v;
        } else if (c == '~') {
            *v = ~*v;
        }
        return true;
    }
    return primary(v);
}

bool Evaluator::primary(qint64 *v)
{
    const CToken t = m_cur;
    if (t.kind == CToken::End)
        return fail(t, QStringLiteral("an expression ends too early"));
    if (isOp(op('('))) {
        if (!advance())
            return false;
        if (++m_nesting > MaxNesting)
            return fail(t, QStringLiteral("the expression nests too deeply"));
        if (!conditional(v))
            return false;
        --m_nesting;
        if (!isOp(op(')')))
            return fail(t, QStringLiteral("'(' without ')'"));
        return advance();
    }
    if (t.kind == CToken::Number) {
        if (t.tooLarge)
            return fail(t, QStringLiteral("the number %1 is too large").arg(textOf(t)));
        *v = qint64(t.value);
        return advance();
    }
    const char *name = m_text.constData() + t.offset;
    if (t.kind == CToken::Identifier && !m_preprocessor && sameText(name, t.length, "sizeof")) {
        if (!advance())
            return false;
        const bool parenthesised = isOp(op('('));
        if (parenthesised && !advance())
            return false;
        if (m_cur.kind != CToken::Identifier)
            return fail(t, QStringLiteral("sizeof needs the name of an array"));
        const CToken array = m_cur;
        if (!advance())
            return false;
        if (parenthesised) {
            if (!isOp(op(')')))
                return fail(t, QStringLiteral("'(' without ')'"));
            if (!advance())
                return false;
        }
        const auto size =
            m_arrays ? m_arrays->constFind(nameKey(m_text, array)) : ArrayTable::const_iterator();
        if (!m_arrays || size == m_arrays->constEnd())
            return fail(t,
                        QStringLiteral("sizeof(%1) names no array of the file").arg(textOf(array)));
        *v = size->size[m_setting];
        return true;
    }
    if (t.kind == CToken::Identifier && !m_preprocessor && m_lookup
        && (*m_lookup)(QByteArray(name, t.length), v))
        return advance();
    if (t.kind == CToken::Identifier)
        return fail(t,
                    m_preprocessor
                        ? QStringLiteral("the condition uses %1, which the reader does not know")
                              .arg(shown(name, t.length, 60))
                        : QStringLiteral("%1 is not a name the reader knows")
                              .arg(shown(name, t.length, 60)));
    return fail(t, QStringLiteral("'%1' does not belong in the expression").arg(textOf(t)));
}

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

bool Scanner::next(CToken *token)
{
    for (;;) {
        if (!m_lexer.skipSpace(false))
            return fail(m_lexer.commentLine(), QStringLiteral("a comment that never ends"));
        if (m_lexer.atEnd()) {
            if (!m_conditionals.empty())
                return fail(m_conditionals.back().line,
                            QStringLiteral("this conditional has no #endif"));
            token->kind = CToken::End;
            token->line = m_lexer.line();
            token->offset = m_lexer.offset();
            token->length = 0;
            token->mask = AllSettings;
            return true;
        }
        if (m_lexer.peek() == '#' && m_lexer.lineStart) {
            m_lexer.step();
            if (!directive())
                return false;
            continue;
        }
        m_lexer.lineStart = false;
        m_lexer.lex(token);
        token->mask = mask();
        if (token->mask)
            return true;
    }
}

bool Scanner::restOfLine(Rest *rest)
{
    rest->begin = rest->end = m_lexer.offset();
    rest->count = 0;
    for (;;) {
        if (!m_lexer.skipSpace(true))
            return fail(m_lexer.commentLine(), QStringLiteral("a comment that never ends"));
        if (m_lexer.atEnd() || m_lexer.peek() == '\n')
            return true;
        CToken t;
        m_lexer.lex(&t);
        if (rest->count++ == 0) {
            rest->first = t;
            rest->begin = t.offset;
        }
        rest->end = t.offset + t.length;
    }
}

bool Scanner::conditionMask(const Rest &rest, quint8 settings, int line, quint8 *result)
{
    *result = 0;
    for (int s = 0; s < SettingCount; ++s) {
        if (!(settings & (1u << s)))
            continue;
        Evaluator evaluator(m_text, s, macros[s], m_budget);
        qint64 value = 0;
        QString message;
        if (!evaluator.evaluate(rest.begin, rest.end, line, &value, &message)) {
            error = message;
            return false;
        }
        if (value)
            *result |= quint8(1u << s);
    }
    return true;
}

bool Scanner::push(const Conditional &conditional, int line)
{
    if (!m_budget->spendBytes(ConditionalCost))
        return fail(line, m_budget->bytesError());
    m_conditionals.push_back(conditional);
    return true;
}

bool Scanner::directive()
{
    const int line = m_lexer.line();
    // The name, then the rest of the line; the newline is left for
    // skipSpace, which starts the next line.
    if (!m_lexer.skipSpace(true))
        return fail(m_lexer.commentLine(), QStringLiteral("a comment that never ends"));
    if (m_lexer.atEnd() || m_lexer.peek() == '\n')
        return true; // the null directive
    CToken first;
    m_lexer.lex(&first);
    const QByteArray name = first.kind == CToken::Identifier
        ? QByteArray::fromRawData(m_text.constData() + first.offset, first.length)
        : QByteArray();
    Rest rest;
    if (!restOfLine(&rest))
        return false;
    const quint8 live = mask();

    const auto definedMask = [&](bool wanted, quint8 settings, quint8 *result) {
        if (rest.count != 1 || rest.first.kind != CToken::Identifier)
            return fail(line, QStringLiteral("#%1 needs one name").arg(shown(name)));
        const QByteArray macro = nameKey(m_text, rest.first);
        *result = 0;
        for (int s = 0; s < SettingCount; ++s) {
            qint64 ignored;
            const bool defined = macros[s].contains(macro)
                || isBuiltIn(macro.constData(), macro.size(), s, &ignored);
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
        return push({live, result, result, false, line}, line);
    }
    if (name == "elif" || name == "elifdef" || name == "elifndef" || name == "else"
        || name == "endif") {
        if (m_conditionals.empty())
            return fail(line, QStringLiteral("#%1 without #if").arg(shown(name)));
        Conditional &c = m_conditionals.back();
        if (name == "endif") {
            m_conditionals.pop_back();
            m_budget->refundBytes(ConditionalCost);
            return true;
        }
        if (c.sawElse)
            return fail(line, QStringLiteral("#%1 after #else").arg(shown(name)));
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
        if (rest.count == 0 || rest.first.kind != CToken::Identifier)
            return fail(line, QStringLiteral("#define needs a name"));
        const CToken &macroName = rest.first;
        const int nameEnd = macroName.offset + macroName.length;
        CArrayReader::Macro macro;
        macro.function = nameEnd < m_text.size() && m_text.at(nameEnd) == '(';
        macro.begin = nameEnd;
        macro.end = qMax(nameEnd, rest.end);
        macro.line = macroName.line;
        const QByteArray key = m_text.mid(macroName.offset, macroName.length);
        for (int s = 0; s < SettingCount; ++s) {
            if (!(live & (1u << s)))
                continue;
            if (!macros[s].contains(key) && !m_budget->spendBytes(MacroCost + key.size()))
                return fail(line, m_budget->bytesError());
            macros[s].insert(key, macro);
        }
        return true;
    }
    if (name == "undef") {
        if (rest.count != 1 || rest.first.kind != CToken::Identifier)
            return fail(line, QStringLiteral("#undef needs one name"));
        const QByteArray key = nameKey(m_text, rest.first);
        for (int s = 0; s < SettingCount; ++s) {
            if (live & (1u << s))
                macros[s].remove(key);
        }
        return true;
    }
    if (name == "error") {
        const QString message = shown(m_text.constData() + rest.begin, rest.end - rest.begin, 200);
        for (int s = 0; s < SettingCount; ++s) {
            if ((live & (1u << s)) && stop[s].isNull()) {
                stop[s] = message.isNull() ? QLatin1String("") : message;
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
                    .arg(shown(m_text.constData() + first.offset, first.length)));
}

// The declarations of the file, read for one setting. Tokens read only in
// other settings are skipped, except in the body of an array, where each
// setting's numbers are kept and checked on their own.
class Parser
{
public:
    Parser(Scanner &scanner, const QByteArray &text, Setting setting, Budget *budget)
        : m_scanner(scanner)
        , m_text(text)
        , m_setting(setting)
        , m_bit(quint8(1u << setting))
        , m_budget(budget)
    {
    }

    bool run();

    QString error;
    struct Array
    {
        // Until a token is read in some settings only, bytes[0] holds the
        // bytes of all of them.
        QByteArray bytes[SettingCount];
        bool split = false;
        int line = 0;
        qint64 sectionBytes[SettingCount] = {};
        qint64 declared[SettingCount] = {-1, -1, -1, -1}; // -1: no size given
        const QByteArray &of(int setting) const { return split ? bytes[setting] : bytes[0]; }
    };
    QHash<QByteArray, Array> arrays;
    CImageSource image;
    bool haveDescriptor = false;
    // Some declaration's tokens differ between the settings.
    bool divergent = false;
    // The first fault of each other setting's bytes.
    QString sectionErrors[SettingCount];

private:
    bool next(CToken *t);
    bool isWord(const CToken &t, const char *word) const
    {
        return t.kind == CToken::Identifier
            && sameText(m_text.constData() + t.offset, t.length, word);
    }
    QString name(const CToken &t) const { return shown(m_text.constData() + t.offset, t.length); }
    bool is(const CToken &t, char c) const
    {
        return t.kind == CToken::Punctuator && t.value == op(c);
    }
    bool fail(int line, const QString &message)
    {
        if (error.isEmpty())
            error = lineError(line, message);
        return false;
    }
    void sectionFail(int setting, int line, const QString &message)
    {
        if (sectionErrors[setting].isEmpty())
            sectionErrors[setting] = lineError(line, message);
    }
    QString quoted(const CToken &t) const
    {
        return t.kind == CToken::End ? QStringLiteral("the end of the file")
                                     : QLatin1Char('\'') + name(t) + QLatin1Char('\'');
    }

    bool declaration(CToken t);
    bool skipBalanced(CToken *t, char open, char close);
    bool declaredSize(const CExpression &size, Array *array);
    bool arrayBody(Array *array);
    bool descriptorBody(const QByteArray &prefix, int depth);

    Scanner &m_scanner;
    const QByteArray &m_text;
    const Setting m_setting;
    const quint8 m_bit;
    Budget *const m_budget;
};

bool Parser::next(CToken *t)
{
    do {
        if (!m_scanner.next(t)) {
            error = m_scanner.error;
            return false;
        }
        if (t->mask != AllSettings)
            divergent = true;
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
    if (isWord(t, "LV_IMG_DECLARE") || isWord(t, "LV_IMAGE_DECLARE")) {
        // LV_IMG_DECLARE(name); the semicolon is optional.
        CToken open, declared, close;
        if (!next(&open) || !next(&declared) || !next(&close))
            return false;
        if (!is(open, '(') || declared.kind != CToken::Identifier || !is(close, ')'))
            return fail(line, QStringLiteral("%1 needs one name in parentheses").arg(name(t)));
        return true;
    }

    // Specifiers and the declared name, up to '[', '=' or ';'. Of the words
    // before the name only what they say is kept, so a line of a million
    // words takes no memory.
    int words = 0;
    CToken last; // the name, in the end
    CToken beforeLast;
    bool oldDescriptor = false;
    bool newDescriptor = false;
    bool uint8 = false;
    bool isUnsigned = false;
    bool isChar = false;
    for (;;) {
        if (isWord(t, "__attribute__")) {
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
        if (words > 0) {
            oldDescriptor = oldDescriptor || isWord(last, "lv_img_dsc_t");
            newDescriptor = newDescriptor || isWord(last, "lv_image_dsc_t");
            uint8 = uint8 || isWord(last, "uint8_t");
            isUnsigned = isUnsigned || isWord(last, "unsigned");
            isChar = isChar || isWord(last, "char");
            beforeLast = last;
        }
        last = t;
        ++words;
        if (!next(&t))
            return false;
    }
    if (words == 0)
        return fail(t.line,
                    QStringLiteral("%1 does not begin a declaration of an image array "
                                   "or descriptor")
                        .arg(quoted(t)));
    const QByteArray declared = m_text.mid(last.offset, last.length);
    const bool descriptor = oldDescriptor || newDescriptor;
    const bool bytes = uint8 || (isUnsigned && isChar);
    if (!descriptor && !bytes) {
        if (words == 1)
            return fail(line,
                        QStringLiteral("%1 is not a declaration of an image array or "
                                       "descriptor")
                            .arg(quoted(last)));
        return fail(line,
                    QStringLiteral("'%1' is declared as '%2', not as an image array or "
                                   "descriptor")
                        .arg(name(last), name(beforeLast)));
    }

    Array array;
    array.line = line;
    bool isArray = false;
    if (is(t, '[')) {
        isArray = true;
        CExpression size;
        for (;;) {
            if (!next(&t))
                return false;
            if (is(t, ']') || t.kind == CToken::End)
                break;
            if (size.size() >= MaxExpressionTokens)
                return fail(line,
                            QStringLiteral("the size of '%1' is longer than %2 tokens")
                                .arg(name(last))
                                .arg(MaxExpressionTokens));
            size.append(t);
        }
        if (!is(t, ']'))
            return fail(line, QStringLiteral("'[' without ']'"));
        if (!next(&t))
            return false;
        while (isWord(t, "__attribute__")) {
            if (!next(&t))
                return false;
            if (!is(t, '(') || !skipBalanced(&t, '(', ')'))
                return fail(t.line, QStringLiteral("__attribute__ without its parentheses"));
        }
        if (!size.isEmpty() && !declaredSize(size, &array))
            return false;
    }
    if (descriptor && isArray)
        return fail(line, QStringLiteral("an array of image descriptors is not read"));
    if (bytes && !isArray)
        return fail(line,
                    QStringLiteral("'%1' is a single byte, not an image array").arg(name(last)));

    if (is(t, ';'))
        return true; // a declaration without an initialiser
    if (!is(t, '='))
        return fail(
            t.line,
            QStringLiteral("expected '=' or ';' after '%1', found %2").arg(name(last), quoted(t)));
    CToken open;
    if (!next(&open))
        return false;
    if (!is(open, '{'))
        return fail(open.line,
                    QStringLiteral("expected '{' to start the values of '%1', found %2")
                        .arg(name(last), quoted(open)));

    if (bytes) {
        if (arrays.contains(declared))
            return fail(line, QStringLiteral("'%1' is defined twice").arg(name(last)));
        if (!m_budget->spendBytes(ArrayCost + declared.size()))
            return fail(line, m_budget->bytesError());
        if (!arrayBody(&array))
            return false;
        arrays.insert(declared, array);
    } else {
        if (haveDescriptor)
            return fail(line,
                        QStringLiteral("a second image descriptor, '%1': the reader takes "
                                       "files with one image")
                            .arg(name(last)));
        haveDescriptor = true;
        image.type = newDescriptor ? QByteArray("lv_image_dsc_t") : QByteArray("lv_img_dsc_t");
        image.name = declared;
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
                        .arg(name(last), quoted(end)));
    return true;
}

// The declared size, for every setting with the macros defined so far.
bool Parser::declaredSize(const CExpression &size, Array *array)
{
    for (int s = 0; s < SettingCount; ++s) {
        Evaluator evaluator(m_text, s, m_scanner.macros[s], m_budget);
        QString message;
        if (evaluator.evaluate(size, array->line, &array->declared[s], &message))
            continue;
        array->declared[s] = -1;
        if (s == m_setting) {
            error = message;
            return false;
        }
        if (sectionErrors[s].isEmpty())
            sectionErrors[s] = message;
    }
    return true;
}

// Bytes for an array, gathered in a buffer of its own so that the hot loop
// appends to the QByteArray once per 4 KiB.
class ByteSink
{
public:
    ~ByteSink() { flush(); }
    void setTarget(QByteArray *target)
    {
        flush();
        m_target = target;
    }
    void put(char c)
    {
        m_buffer[m_used++] = c;
        if (m_used == int(sizeof m_buffer))
            flush();
    }
    void flush()
    {
        if (m_used && m_target)
            m_target->append(m_buffer, m_used);
        m_used = 0;
    }

private:
    QByteArray *m_target = nullptr;
    char m_buffer[4096];
    int m_used = 0;
};

bool Parser::arrayBody(Array *array)
{
    // The hot loop of a large file: number, comma, number... While every
    // token is read in every setting, one state (the setting read's)
    // serves them all and the bytes go to bytes[0].
    bool expectValue[SettingCount] = {true, true, true, true};
    bool broken[SettingCount] = {};
    ByteSink sinks[SettingCount];
    sinks[0].setTarget(&array->bytes[0]);
    const int primary = m_setting;
    // One token for one setting: false when the setting read cannot go on.
    const auto step = [&](int s, const CToken &t, bool closes) {
        QString problem;
        if (t.kind == CToken::Number && expectValue[s]) {
            if (!t.tooLarge && t.value <= 255) {
                sinks[array->split ? s : 0].put(char(t.value));
                expectValue[s] = false;
                return true;
            }
            problem = QStringLiteral("the value %1 does not fit a byte").arg(name(t));
        } else if (is(t, ',') && !expectValue[s]) {
            expectValue[s] = true;
            return true;
        } else if (is(t, '}')) {
            if (closes)
                return true;
            problem = QStringLiteral("the array's '}' is inside a conditional section");
        } else {
            problem = expectValue[s]
                ? QStringLiteral("expected a byte value, found %1").arg(quoted(t))
                : QStringLiteral("expected ',' or '}', found %1").arg(quoted(t));
        }
        if (s == primary)
            return fail(t.line, problem);
        sectionFail(s, t.line, problem);
        broken[s] = true;
        return true;
    };
    for (;;) {
        CToken t;
        if (!m_scanner.next(&t)) {
            error = m_scanner.error;
            return false;
        }
        const quint8 mask = t.mask;
        if (mask != AllSettings) {
            if (t.kind == CToken::Number) {
                for (int s = 0; s < SettingCount; ++s) {
                    if (mask & (1u << s))
                        ++array->sectionBytes[s];
                }
            }
            if (!array->split) {
                // From here on each setting has bytes and a state of its own.
                sinks[0].flush();
                array->split = true;
                for (int s = 0; s < SettingCount; ++s) {
                    if (s > 0)
                        array->bytes[s] = array->bytes[0];
                    sinks[s].setTarget(&array->bytes[s]);
                    expectValue[s] = expectValue[primary];
                }
            }
        }
        const bool closes = is(t, '}') && (mask & m_bit);
        if (!array->split) {
            if (!step(primary, t, closes))
                return false;
        } else {
            for (int s = 0; s < SettingCount; ++s) {
                if ((mask & (1u << s)) && !broken[s] && !step(s, t, closes))
                    return false;
            }
        }
        if (closes) {
            // The end for the setting read; one that cannot see it is broken.
            for (int s = 0; s < SettingCount; ++s) {
                if (!(mask & (1u << s)) && !broken[s])
                    sectionFail(s, t.line,
                                QStringLiteral("the array's '}' is inside a conditional section"));
            }
            return true; // after a value or a trailing comma
        }
    }
}

bool Parser::descriptorBody(const QByteArray &prefix, int depth)
{
    static const char *const known[] = {
        "header.cf",    "header.w",     "header.h",      "header.always_zero", "header.reserved",
        "header.magic", "header.flags", "header.stride", "header.reserved_2",  "data_size",
        "data",         "reserved",     "reserved_2",
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
            field += m_text.mid(member.offset, member.length);
            if (field.size() > 200)
                return fail(line,
                            QStringLiteral("the field .%1 is not one the reader knows")
                                .arg(shown(field, 60)));
            if (!next(&t))
                return false;
        }
        if (!is(t, '='))
            return fail(
                t.line,
                QStringLiteral("expected '=' after .%1, found %2").arg(shown(field), quoted(t)));
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
                                .arg(shown(field, 60)));
            for (const CImageSource::Field &f : qAsConst(image.fields)) {
                if (f.name == field)
                    return fail(line,
                                QStringLiteral("the field .%1 is given twice").arg(shown(field)));
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
                                    .arg(quoted(t), shown(field)));
                if (is(t, '('))
                    ++parens;
                else if (is(t, ')') && --parens < 0)
                    return fail(t.line, QStringLiteral("')' without '('"));
                if (f.value.size() >= MaxExpressionTokens)
                    return fail(line,
                                QStringLiteral("the value of .%1 is longer than %2 tokens")
                                    .arg(shown(field))
                                    .arg(MaxExpressionTokens));
                f.value.append(t);
                if (!next(&t))
                    return false;
            }
            if (f.value.isEmpty())
                return fail(line, QStringLiteral(".%1 has no value").arg(shown(field)));
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

// The bytes of the array .data names for a setting, with the zeros of a
// longer declared size.
QByteArray paddedData(const CArrayReader::Pass &pass, int setting)
{
    QByteArray bytes = pass.data[setting];
    if (pass.dataSize[setting] > bytes.size())
        bytes.append(QByteArray(int(pass.dataSize[setting] - bytes.size()), '\0'));
    return bytes;
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
    m_read = false;
    m_error.clear();
    m_image = CImageSource();
    m_macros.clear();
    m_pass.reset();
    m_budget = std::make_shared<Budget>(source.size());

    // A UTF-8 byte-order mark is not part of the program.
    const int begin = source.startsWith("\xef\xbb\xbf") ? 3 : 0;
    Scanner scanner(m_text, begin, m_budget.get());
    Parser parser(scanner, m_text, m_setting, m_budget.get());
    if (!parser.run()) {
        m_error = parser.error;
        return false;
    }
    if (!scanner.stop[m_setting].isNull()) {
        return fail(scanner.stopLine[m_setting],
                    QStringLiteral("the file stops the build at LV_COLOR_DEPTH %1: #error %2")
                        .arg(settingName(m_setting), scanner.stop[m_setting]));
    }
    auto pass = std::make_shared<Pass>();
    pass->divergent = parser.divergent;
    for (int s = 0; s < SettingCount; ++s) {
        pass->macros[s] = std::move(scanner.macros[s]);
        pass->errors[s] = parser.sectionErrors[s];
        if (pass->errors[s].isEmpty() && !scanner.stop[s].isNull())
            pass->errors[s] =
                lineError(scanner.stopLine[s],
                          QStringLiteral("the file stops the build at LV_COLOR_DEPTH %1: #error %2")
                              .arg(settingName(Setting(s)), scanner.stop[s]));
    }
    m_macros = pass->macros[m_setting];
    if (!parser.haveDescriptor)
        return fail(source.count('\n') + 1,
                    QStringLiteral("the file ends without an image descriptor "
                                   "(lv_img_dsc_t or lv_image_dsc_t)"));
    m_image = parser.image;

    // Declared sizes: a longer array is padded with zeros, as C does; a
    // shorter one does not compile.
    for (auto it = parser.arrays.constBegin(); it != parser.arrays.constEnd(); ++it) {
        const Parser::Array &array = it.value();
        ArraySizes sizes;
        for (int s = 0; s < SettingCount; ++s) {
            const qint64 values = array.of(s).size();
            const qint64 declared = array.declared[s];
            sizes.size[s] = qMax(values, declared);
            QString problem;
            if (declared >= 0 && declared < values)
                problem = QStringLiteral("'%1' has %2 values for %3 bytes")
                              .arg(shown(it.key()))
                              .arg(values)
                              .arg(declared);
            else if (declared > values + MaxPadding)
                problem = QStringLiteral("'%1' declares %2 bytes, far more than it has values for")
                              .arg(shown(it.key()))
                              .arg(declared);
            if (problem.isEmpty())
                continue;
            if (s == m_setting)
                return fail(array.line, problem);
            if (pass->errors[s].isEmpty())
                pass->errors[s] = lineError(array.line, problem);
        }
        pass->arrays.insert(it.key(), sizes);
    }

    // .data: the array, maybe cast, maybe as &array[0].
    const CImageSource::Field *data = field("data");
    if (!data)
        return fail(m_image.line,
                    QStringLiteral("the descriptor '%1' has no .data").arg(shown(m_image.name)));
    CExpression tokens = data->value;
    const auto isChar = [](const CToken &t, char c) {
        return t.kind == CToken::Punctuator && t.value == op(c);
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
        return fail(
            data->line,
            QStringLiteral(".data names '%1', which the file does not define").arg(shown(name)));
    const ArraySizes sizes = pass->arrays.value(name);
    for (int s = 0; s < SettingCount; ++s) {
        pass->data[s] = array->of(s);
        pass->dataSize[s] = sizes.size[s];
    }
    m_image.arrayName = name;
    m_image.arrayLine = array->line;
    m_image.data = paddedData(*pass, m_setting);
    for (int s = 0; s < SettingCount; ++s) {
        if (array->sectionBytes[s] > 0)
            m_image.sections << settingName(Setting(s));
    }
    m_pass = pass;
    m_read = true;
    return true;
}

CArrayReader CArrayReader::forSetting(Setting setting) const
{
    if (setting == m_setting || !ok())
        return *this;
    CArrayReader other(setting);
    if (m_pass->divergent) {
        other.read(m_text);
        return other;
    }
    other.m_text = m_text;
    other.m_read = true;
    other.m_error = m_pass->errors[setting];
    other.m_image = m_image;
    other.m_image.data = paddedData(*m_pass, setting);
    other.m_macros = m_pass->macros[setting];
    other.m_pass = m_pass;
    other.m_budget = m_budget;
    return other;
}

bool CArrayReader::evaluate(const CExpression &expression, const Lookup &lookup, qint64 *value,
                            QString *error) const
{
    static const ArrayTable noArrays;
    Budget spare(m_text.size());
    Evaluator evaluator(m_text, m_setting, m_macros, m_budget ? m_budget.get() : &spare);
    evaluator.setFieldNames(&lookup, m_pass ? &m_pass->arrays : &noArrays);
    const int line = expression.isEmpty() ? 0 : expression.first().line;
    return evaluator.evaluate(expression, line, value, error);
}

QString CArrayReader::text(const CExpression &expression) const
{
    if (expression.isEmpty())
        return QString();
    const int from = expression.first().offset;
    const int to = expression.last().offset + expression.last().length;
    return shown(m_text.mid(from, qMin(to - from, 400)).simplified(), 80);
}

} // namespace Convert
