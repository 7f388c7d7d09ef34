#include "lvconf.h"

#include <cevaluator.h>
#include <clexer.h>
#include <creaderinternal.h>
#include <filepath.h>
#include <imagesource.h>

#include <vector>

namespace Convert {

using CReader::Lexer;
using CReader::op;

namespace {

// A configuration header is small; a larger file is not one.
constexpr qint64 MaxFileBytes = qint64(16) << 20;

struct Conditional
{
    bool parent; // the enclosing text is read
    bool taken; // a branch was read already
    bool current;
    bool sawElse;
    int line;
};

} // namespace

struct LvConf::Data
{
    QByteArray text;
    CArrayReader::Macros macros;
    std::shared_ptr<CArrayReader::Budget> budget;
    QStringList notes;
};

bool LvConf::readFile(const QString &path)
{
    m_name = displayPath(path);
    // A regular file only: a FIFO is refused without being opened, so it
    // never blocks.
    QByteArray text;
    const ConvertResult loaded = readRegularFile(path, MaxFileBytes, &text);
    if (!loaded.ok()) {
        m_error = QStringLiteral("%1: %2").arg(m_name, loaded.reason());
        return false;
    }
    return read(text, m_name);
}

bool LvConf::fail(int line, const QString &message)
{
    m_error = QStringLiteral("%1:%2: %3").arg(m_name).arg(line).arg(message);
    return false;
}

void LvConf::note(int line, const QString &message) const
{
    m_data->notes << QStringLiteral("%1:%2: %3").arg(m_name).arg(line).arg(message);
}

bool LvConf::evaluate(int begin, int end, int line, qint64 *value, QString *error) const
{
    CReader::Evaluator evaluator(m_data->text, 0, m_data->macros, m_data->budget.get());
    evaluator.setConfigurationRules();
    QString message;
    if (evaluator.evaluate(begin, end, line, value, &message))
        return true;
    // The evaluator's "line 12: " is said by the caller as "file:12: ".
    const int colon = message.indexOf(QLatin1String(": "));
    *error =
        message.startsWith(QLatin1String("line ")) && colon > 0 ? message.mid(colon + 2) : message;
    return false;
}

bool LvConf::read(const QByteArray &text, const QString &name)
{
    m_name = name;
    m_error.clear();
    m_data = std::make_shared<Data>();
    m_data->text = text;
    m_data->budget = std::make_shared<CArrayReader::Budget>(text.size());
    const QByteArray &t = m_data->text;
    Lexer lexer(t, 0, t.size(), 1);
    std::vector<Conditional> conditionals;
    const auto live = [&conditionals] {
        return conditionals.empty() || conditionals.back().current;
    };

    for (;;) {
        if (!lexer.skipSpace(false))
            return fail(lexer.commentLine(), QStringLiteral("a comment that never ends"));
        if (lexer.atEnd())
            break;
        if (!(lexer.peek() == '#' && lexer.lineStart)) {
            // C text between the directives is passed over.
            lexer.lineStart = false;
            CToken ignored;
            lexer.lex(&ignored);
            continue;
        }
        lexer.step();
        const int line = lexer.line();
        if (!lexer.skipSpace(true))
            return fail(lexer.commentLine(), QStringLiteral("a comment that never ends"));
        if (lexer.atEnd() || lexer.peek() == '\n')
            continue; // the null directive
        CToken directive;
        lexer.lex(&directive);
        const QByteArray keyword = directive.kind == CToken::Identifier
            ? t.mid(directive.offset, directive.length)
            : QByteArray();
        // The rest of the line.
        CToken first;
        int count = 0;
        int begin = lexer.offset();
        int end = begin;
        for (;;) {
            if (!lexer.skipSpace(true))
                return fail(lexer.commentLine(), QStringLiteral("a comment that never ends"));
            if (lexer.atEnd() || lexer.peek() == '\n')
                break;
            CToken token;
            lexer.lex(&token);
            if (count++ == 0) {
                first = token;
                begin = token.offset;
            }
            end = token.offset + token.length;
        }
        const auto condition = [&]() {
            if (keyword == "ifdef" || keyword == "ifndef") {
                const bool defined = count >= 1 && first.kind == CToken::Identifier
                    && m_data->macros.contains(CReader::nameKey(t, first));
                return defined == (keyword == "ifdef");
            }
            qint64 value = 0;
            QString error;
            if (count == 0 || !evaluate(begin, end, line, &value, &error)) {
                note(line,
                     QStringLiteral("the condition of #%1 cannot be evaluated (%2); taken as false")
                         .arg(QString::fromLatin1(keyword),
                              count ? error : QStringLiteral("it is empty")));
                return false;
            }
            return value != 0;
        };

        if (keyword == "if" || keyword == "ifdef" || keyword == "ifndef") {
            if (!m_data->budget->spendBytes(CReader::ConditionalCost))
                return fail(line, m_data->budget->bytesError());
            const bool parent = live();
            const bool value = parent && condition();
            conditionals.push_back({parent, value, value, false, line});
        } else if (keyword == "elif" || keyword == "else" || keyword == "endif") {
            if (conditionals.empty())
                return fail(line,
                            QStringLiteral("#%1 without #if").arg(QString::fromLatin1(keyword)));
            Conditional &c = conditionals.back();
            if (keyword == "endif") {
                conditionals.pop_back();
                m_data->budget->refundBytes(CReader::ConditionalCost);
                continue;
            }
            if (c.sawElse)
                return fail(line,
                            QStringLiteral("#%1 after #else").arg(QString::fromLatin1(keyword)));
            const bool open = c.parent && !c.taken;
            c.sawElse = keyword == "else";
            c.current = open && (c.sawElse || condition());
            c.taken = c.taken || c.current;
        } else if (!live()) {
            continue;
        } else if (keyword == "define") {
            if (count == 0 || first.kind != CToken::Identifier) {
                note(line, QStringLiteral("#define without a name is passed over"));
                continue;
            }
            const int nameEnd = first.offset + first.length;
            CArrayReader::Macro macro;
            macro.function = nameEnd < t.size() && t.at(nameEnd) == '(';
            macro.begin = nameEnd;
            macro.end = qMax(nameEnd, end);
            macro.line = first.line;
            const QByteArray key = t.mid(first.offset, first.length);
            if (!m_data->macros.contains(key)
                && !m_data->budget->spendBytes(CReader::MacroCost + key.size()))
                return fail(line, m_data->budget->bytesError());
            m_data->macros.insert(key, macro);
        } else if (keyword == "undef") {
            if (count >= 1 && first.kind == CToken::Identifier)
                m_data->macros.remove(CReader::nameKey(t, first));
        }
        // #include is not followed; #error, #pragma and the rest say nothing
        // about the settings.
    }
    if (!conditionals.empty())
        return fail(conditionals.back().line, QStringLiteral("this conditional has no #endif"));
    return true;
}

bool LvConf::isDefined(const QByteArray &name, int *line) const
{
    if (!m_data)
        return false;
    const auto it = m_data->macros.constFind(name);
    if (it == m_data->macros.constEnd())
        return false;
    if (line)
        *line = it->line;
    return true;
}

bool LvConf::value(const QByteArray &name, qint64 *value, int *line) const
{
    int at = 0;
    if (!isDefined(name, &at))
        return false;
    if (line)
        *line = at;
    const CArrayReader::Macro &macro = m_data->macros[name];
    QString error;
    if (macro.function) {
        note(at,
             QStringLiteral("%1 is a macro with arguments; taken as not set")
                 .arg(QString::fromLatin1(name)));
        return false;
    }
    if (!evaluate(macro.begin, macro.end, at, value, &error)) {
        note(at,
             QStringLiteral("the value of %1 is not understood (%2); taken as not set")
                 .arg(QString::fromLatin1(name), error));
        return false;
    }
    return true;
}

bool LvConf::colour(const QByteArray &name, QRgb *colour, int *line) const
{
    int at = 0;
    if (!isDefined(name, &at))
        return false;
    if (line)
        *line = at;
    const CArrayReader::Macro &macro = m_data->macros[name];
    const QByteArray &t = m_data->text;
    // lv_color_hex( ... ) or lv_color_make( ..., ..., ... ): the arguments
    // split at the commas outside parentheses.
    Lexer lexer(t, macro.begin, macro.end, at);
    CToken call;
    if (!macro.function && lexer.skipSpace(true) && !lexer.atEnd()) {
        lexer.lex(&call);
        const bool hex =
            CReader::sameText(t.constData() + call.offset, call.length, "lv_color_hex");
        const bool make =
            CReader::sameText(t.constData() + call.offset, call.length, "lv_color_make");
        CToken open;
        if ((hex || make) && lexer.skipSpace(true) && !lexer.atEnd()) {
            lexer.lex(&open);
            std::vector<std::pair<int, int>> arguments;
            int depth = 0;
            int start = lexer.offset();
            bool closed = false;
            while (open.value == op('(') && lexer.skipSpace(true) && !lexer.atEnd()) {
                CToken token;
                lexer.lex(&token);
                if (token.kind != CToken::Punctuator)
                    continue;
                if (token.value == op('(')) {
                    ++depth;
                } else if (token.value == op(')') && depth > 0) {
                    --depth;
                } else if ((token.value == op(')') || token.value == op(',')) && depth == 0) {
                    arguments.push_back({start, token.offset});
                    start = token.offset + 1;
                    if (token.value == op(')')) {
                        closed = lexer.skipSpace(true) && lexer.atEnd();
                        break;
                    }
                }
            }
            qint64 values[3] = {};
            QString error;
            const size_t wanted = hex ? 1 : 3;
            bool ok = closed && arguments.size() == wanted;
            for (size_t i = 0; ok && i < wanted; ++i)
                ok = evaluate(arguments[i].first, arguments[i].second, at, &values[i], &error);
            if (ok && hex && values[0] >= 0 && values[0] <= 0xffffff) {
                *colour = QRgb(values[0]);
                return true;
            }
            if (ok && make && values[0] >= 0 && values[0] <= 255 && values[1] >= 0
                && values[1] <= 255 && values[2] >= 0 && values[2] <= 255) {
                *colour = qRgb(int(values[0]), int(values[1]), int(values[2])) & 0xffffff;
                return true;
            }
            note(at,
                 QStringLiteral("the colour of %1 is not understood; taken as not set")
                     .arg(QString::fromLatin1(name)));
            return false;
        }
    }
    qint64 number = 0;
    if (!value(name, &number))
        return false;
    if (number < 0 || number > 0xffffff) {
        note(at,
             QStringLiteral("%1 is %2, not a colour; taken as not set")
                 .arg(QString::fromLatin1(name))
                 .arg(number));
        return false;
    }
    *colour = QRgb(number);
    return true;
}

QList<QByteArray> LvConf::names() const
{
    return m_data ? m_data->macros.keys() : QList<QByteArray>();
}

QStringList LvConf::notes() const
{
    if (!m_data)
        return QStringList();
    // A value asked for twice is noted twice.
    QStringList notes = m_data->notes;
    notes.removeDuplicates();
    return notes;
}

} // namespace Convert
