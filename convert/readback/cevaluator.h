#ifndef CEVALUATOR_H
#define CEVALUATOR_H

#include "clexer.h"
#include "creaderinternal.h"

#include <vector>

namespace Convert {
namespace CReader {

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

    // The preprocessor's own rules for a configuration header: no built-in
    // LV_COLOR_DEPTH (the file defines it), and a name that is no macro is
    // 0, as a compiler's preprocessor takes it.
    void setConfigurationRules()
    {
        m_builtIns = false;
        m_unknownIsZero = true;
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
    bool m_builtIns = true;
    bool m_unknownIsZero = false;
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

} // namespace CReader
} // namespace Convert

#endif // CEVALUATOR_H
