#include "cevaluator.h"

namespace Convert {
namespace CReader {

namespace {

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

} // namespace

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
                || (m_builtIns && isBuiltIn(macro, id.length, m_setting, &ignored));
            m_cur = t;
            return true;
        }
        qint64 builtIn = 0;
        if (m_builtIns && isBuiltIn(name, t.length, m_setting, &builtIn)) {
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
    if (t.kind == CToken::Identifier && m_preprocessor && m_unknownIsZero) {
        *v = 0;
        return advance();
    }
    if (t.kind == CToken::Identifier)
        return fail(t,
                    m_preprocessor
                        ? QStringLiteral("the condition uses %1, which the reader does not know")
                              .arg(shown(name, t.length, 60))
                        : QStringLiteral("%1 is not a name the reader knows")
                              .arg(shown(name, t.length, 60)));
    return fail(t, QStringLiteral("'%1' does not belong in the expression").arg(textOf(t)));
}

} // namespace CReader
} // namespace Convert
