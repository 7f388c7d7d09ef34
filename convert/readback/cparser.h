#ifndef CPARSER_H
#define CPARSER_H

#include "creaderinternal.h"
#include "cscanner.h"

#include <functional>

namespace Convert {
namespace CReader {

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
        // The first fault of each other setting's bytes of this array.
        QString errors[SettingCount];
    };
    QHash<QByteArray, Array> arrays;
    CImageSource image;
    bool haveDescriptor = false;
    // The descriptors after the first, in the order of the file, and the
    // declarations a frame set has beside them.
    QVector<CImageSource> moreImages;
    QHash<QByteArray, CPointerArray> pointerArrays;
    QHash<QByteArray, CWordArray> wordArrays;
    QHash<QByteArray, CScalar> scalars;
    // Some declaration's tokens differ between the settings.
    bool divergent = false;
    // The first fault of each other setting's bytes.
    QString sectionErrors[SettingCount];
    // What a file that is no frame set is refused for, where the reader of
    // single images stops: a second descriptor, an array of pointers or a
    // uint32_t value. A frame set (an array NAME_frames) has them.
    QString strayError;
    bool hasFrameList() const;

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
    void stray(int line, const QString &message)
    {
        if (strayError.isEmpty())
            strayError = lineError(line, message);
    }
    void sectionFail(Array *array, int setting, int line, const QString &message)
    {
        if (sectionErrors[setting].isEmpty())
            sectionErrors[setting] = lineError(line, message);
        if (array->errors[setting].isEmpty())
            array->errors[setting] = lineError(line, message);
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
    bool descriptorBody(CImageSource *image, const QByteArray &prefix, int depth);
    // A brace list after its '{': entries separated by commas, a comma
    // after the last allowed, up to '}'. entry reads one from its first
    // token (reading more where it needs to) and keeps it; more than
    // MaxExpressionTokens entries fail at line, as "more than N <noun>".
    bool listBody(int line, const char *noun, const std::function<bool(CToken &)> &entry);
    bool pointerBody(CPointerArray *array);
    bool wordBody(CWordArray *array);
    bool scalarValue(CScalar *scalar);
    // Whether name is defined by an earlier declaration.
    bool defined(const QByteArray &name) const;

    Scanner &m_scanner;
    const QByteArray &m_text;
    const Setting m_setting;
    const quint8 m_bit;
    Budget *const m_budget;
};

} // namespace CReader
} // namespace Convert

#endif // CPARSER_H
