#include "cscanner.h"

#include "cevaluator.h"

namespace Convert {
namespace CReader {

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

} // namespace CReader
} // namespace Convert
