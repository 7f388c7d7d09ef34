#include "cparser.h"

#include "cevaluator.h"

namespace Convert {
namespace CReader {

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
    bool uint32 = false;
    bool voidPointer = false; // "void *": a frame set's array of descriptors
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
        if (is(t, '*') && words > 0 && isWord(last, "void") && !voidPointer) {
            if (words == 1)
                stray(line,
                      QStringLiteral("%1 is not a declaration of an image array or "
                                     "descriptor")
                          .arg(quoted(last)));
            else
                stray(line,
                      QStringLiteral("'%1' is declared as '%2', not as an image array or "
                                     "descriptor")
                          .arg(name(last), name(beforeLast)));
            voidPointer = true;
            if (!next(&t))
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
            uint32 = uint32 || isWord(last, "uint32_t");
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
    const bool word = uint32 && !voidPointer;
    if (!descriptor && !bytes && !voidPointer && !word) {
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

    if (word)
        stray(line,
              QStringLiteral("'%1' is declared as '%2', not as an image array or "
                             "descriptor")
                  .arg(name(last), name(beforeLast)));

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
    if (voidPointer && !isArray)
        return fail(line,
                    QStringLiteral("'%1' is a single pointer, not an array of image descriptors")
                        .arg(name(last)));

    if (is(t, ';'))
        return true; // a declaration without an initialiser
    if (!is(t, '='))
        return fail(
            t.line,
            QStringLiteral("expected '=' or ';' after '%1', found %2").arg(name(last), quoted(t)));
    if ((voidPointer || word || descriptor) && defined(declared))
        return fail(line, QStringLiteral("'%1' is defined twice").arg(name(last)));
    if (word && !isArray) {
        // A uint32_t value: its expression, up to the ';'.
        CScalar scalar;
        scalar.line = line;
        if (!scalarValue(&scalar))
            return false;
        scalars.insert(declared, scalar);
        return true;
    }
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
    } else if (voidPointer) {
        CPointerArray pointers;
        pointers.line = line;
        if (!pointerBody(&pointers))
            return false;
        pointerArrays.insert(declared, pointers);
    } else if (word) {
        CWordArray words;
        words.line = line;
        if (!wordBody(&words))
            return false;
        wordArrays.insert(declared, words);
    } else {
        // Every descriptor after the first is kept for a frame set; the
        // reader refuses them where the file is none (carrayreader.cpp).
        if (haveDescriptor)
            stray(line,
                  QStringLiteral("a second image descriptor, '%1': the reader takes "
                                 "files with one image")
                      .arg(name(last)));
        CImageSource read;
        read.type = newDescriptor ? QByteArray("lv_image_dsc_t") : QByteArray("lv_img_dsc_t");
        read.name = declared;
        read.line = line;
        if (!descriptorBody(&read, QByteArray(), 0))
            return false;
        if (haveDescriptor)
            moreImages.append(read);
        else
            image = read;
        haveDescriptor = true;
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
        if (array->errors[s].isEmpty())
            array->errors[s] = message;
    }
    return true;
}

namespace {

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

} // namespace

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
        sectionFail(array, s, t.line, problem);
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
                    sectionFail(array, s, t.line,
                                QStringLiteral("the array's '}' is inside a conditional section"));
            }
            return true; // after a value or a trailing comma
        }
    }
}

bool Parser::hasFrameList() const
{
    for (auto it = pointerArrays.constBegin(); it != pointerArrays.constEnd(); ++it) {
        if (it.key().endsWith("_frames"))
            return true;
    }
    return false;
}

bool Parser::defined(const QByteArray &name) const
{
    if (haveDescriptor && image.name == name)
        return true;
    for (const CImageSource &other : moreImages) {
        if (other.name == name)
            return true;
    }
    return pointerArrays.contains(name) || wordArrays.contains(name) || scalars.contains(name);
}

bool Parser::listBody(int line, const char *noun, const std::function<bool(CToken &)> &entry)
{
    CToken t;
    if (!next(&t))
        return false;
    for (int count = 1;; ++count) {
        if (is(t, '}'))
            return true;
        if (!entry(t))
            return false;
        if (count > MaxExpressionTokens)
            return fail(line,
                        QStringLiteral("the array has more than %1 %2")
                            .arg(QString::number(MaxExpressionTokens), QLatin1String(noun)));
        if (!next(&t))
            return false;
        if (is(t, ',')) {
            if (!next(&t))
                return false;
        } else if (!is(t, '}')) {
            return fail(t.line, QStringLiteral("expected ',' or '}', found %1").arg(quoted(t)));
        }
    }
}

bool Parser::pointerBody(CPointerArray *array)
{
    // { &NAME_0, &NAME_1, ... }, with or without the '&'.
    return listBody(array->line, "entries", [this, array](CToken &t) {
        if (is(t, '&') && !next(&t))
            return false;
        if (t.kind != CToken::Identifier)
            return fail(t.line,
                        QStringLiteral("expected the name of an image descriptor, found %1")
                            .arg(quoted(t)));
        array->names.append(m_text.mid(t.offset, t.length));
        return true;
    });
}

bool Parser::wordBody(CWordArray *array)
{
    return listBody(array->line, "values", [this, array](CToken &t) {
        if (t.kind != CToken::Number)
            return fail(t.line, QStringLiteral("expected a number, found %1").arg(quoted(t)));
        if (t.tooLarge || t.value > 0xffffffffu)
            return fail(t.line,
                        QStringLiteral("the value %1 does not fit a uint32_t").arg(name(t)));
        array->values.append(t.value);
        return true;
    });
}

bool Parser::scalarValue(CScalar *scalar)
{
    for (;;) {
        CToken t;
        if (!next(&t))
            return false;
        if (is(t, ';'))
            break;
        if (t.kind == CToken::End || is(t, '{') || is(t, '}'))
            return fail(scalar->line,
                        QStringLiteral("expected a value and ';', found %1").arg(quoted(t)));
        if (scalar->value.size() >= MaxExpressionTokens)
            return fail(
                scalar->line,
                QStringLiteral("the value is longer than %1 tokens").arg(MaxExpressionTokens));
        scalar->value.append(t);
    }
    if (scalar->value.isEmpty())
        return fail(scalar->line, QStringLiteral("the value is missing"));
    return true;
}

bool Parser::descriptorBody(CImageSource *image, const QByteArray &prefix, int depth)
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
            if (!descriptorBody(image, field, depth + 1) || !next(&t))
                return false;
        } else {
            bool isKnown = false;
            for (const char *k : known)
                isKnown = isKnown || field == k;
            if (!isKnown)
                return fail(line,
                            QStringLiteral("the field .%1 is not one the reader knows")
                                .arg(shown(field, 60)));
            for (const CImageSource::Field &f : qAsConst(image->fields)) {
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
            image->fields.append(f);
        }
        if (is(t, ',')) {
            if (!next(&t))
                return false;
        } else if (!is(t, '}')) {
            return fail(t.line, QStringLiteral("expected ',' or '}', found %1").arg(quoted(t)));
        }
    }
}

} // namespace CReader
} // namespace Convert
