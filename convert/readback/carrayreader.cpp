#include "carrayreader.h"

#include "cevaluator.h"
#include "cparser.h"
#include "creaderinternal.h"
#include "cscanner.h"

namespace Convert {

using namespace CReader;

namespace {

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
    // What only a frame set holds fails any other file at its first such
    // declaration.
    const bool parsed = parser.run();
    if (!parser.strayError.isEmpty() && !parser.hasFrameList()) {
        m_error = parser.strayError;
        return false;
    }
    if (!parsed) {
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
        if (!scanner.stop[s].isNull())
            pass->stops[s] =
                lineError(scanner.stopLine[s],
                          QStringLiteral("the file stops the build at LV_COLOR_DEPTH %1: #error %2")
                              .arg(settingName(Setting(s)), scanner.stop[s]));
        if (pass->errors[s].isEmpty())
            pass->errors[s] = pass->stops[s];
    }
    m_macros = pass->macros[m_setting];
    if (!parser.haveDescriptor)
        return fail(source.count('\n') + 1,
                    QStringLiteral("the file ends without an image descriptor "
                                   "(lv_img_dsc_t or lv_image_dsc_t)"));
    m_image = parser.image;

    // Declared sizes: a longer array is padded with zeros, as C does; a
    // shorter one does not compile.
    for (auto it = parser.arrays.begin(); it != parser.arrays.end(); ++it) {
        Parser::Array &array = it.value();
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
            if (array.errors[s].isEmpty())
                array.errors[s] = lineError(array.line, problem);
        }
        pass->arrays.insert(it.key(), sizes);
    }

    // Every descriptor's .data; the first is the image a single-image file
    // holds.
    QVector<CImageSource> descriptors {parser.image};
    descriptors += parser.moreImages;
    for (CImageSource &descriptor : descriptors) {
        ResolvedData resolved;
        if (!resolveData(parser, *pass, &descriptor, &resolved))
            return false;
        pass->descriptors.append(descriptor);
        pass->descriptorData.append(resolved);
    }
    m_image = pass->descriptors.first();
    for (int s = 0; s < SettingCount; ++s) {
        pass->data[s] = pass->descriptorData.first().data[s];
        pass->dataSize[s] = pass->descriptorData.first().dataSize[s];
    }
    m_image.data = paddedData(*pass, m_setting);
    pass->pointerArrays = parser.pointerArrays;
    pass->wordArrays = parser.wordArrays;
    pass->scalars = parser.scalars;
    m_pass = pass;
    m_read = true;
    return true;
}

bool CArrayReader::resolveData(const CReader::Parser &parser, const Pass &pass, CImageSource *image,
                               ResolvedData *resolved)
{
    // .data: the array, maybe cast, maybe as &array[0].
    const CImageSource::Field *data = nullptr;
    for (const CImageSource::Field &f : qAsConst(image->fields)) {
        if (f.name == "data")
            data = &f;
    }
    if (!data)
        return fail(image->line,
                    QStringLiteral("the descriptor '%1' has no .data").arg(shown(image->name)));
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
    const ArraySizes sizes = pass.arrays.value(name);
    for (int s = 0; s < SettingCount; ++s) {
        resolved->data[s] = array->of(s);
        resolved->dataSize[s] = sizes.size[s];
        resolved->errors[s] = pass.stops[s].isEmpty() ? array->errors[s] : pass.stops[s];
    }
    image->arrayName = name;
    image->arrayLine = array->line;
    for (int s = 0; s < SettingCount; ++s) {
        if (array->sectionBytes[s] > 0)
            image->sections << settingName(Setting(s));
    }
    return true;
}

int CArrayReader::descriptorCount() const
{
    return m_pass ? m_pass->descriptors.size() : 0;
}

const CImageSource &CArrayReader::descriptor(int index) const
{
    return m_pass->descriptors.at(index);
}

const QHash<QByteArray, CPointerArray> &CArrayReader::pointerArrays() const
{
    static const QHash<QByteArray, CPointerArray> none;
    return m_pass ? m_pass->pointerArrays : none;
}

const QHash<QByteArray, CWordArray> &CArrayReader::wordArrays() const
{
    static const QHash<QByteArray, CWordArray> none;
    return m_pass ? m_pass->wordArrays : none;
}

const CScalar *CArrayReader::scalar(const QByteArray &name) const
{
    if (!m_pass)
        return nullptr;
    const auto found = m_pass->scalars.constFind(name);
    return found == m_pass->scalars.constEnd() ? nullptr : &found.value();
}

CArrayReader CArrayReader::descriptorReader(int index) const
{
    if (!ok())
        return *this;
    // The descriptor's own array decides whether another setting reads.
    CArrayReader other = *this;
    auto pass = std::make_shared<Pass>(*m_pass);
    for (int s = 0; s < SettingCount; ++s) {
        pass->data[s] = pass->descriptorData.at(index).data[s];
        pass->dataSize[s] = pass->descriptorData.at(index).dataSize[s];
        pass->errors[s] = pass->descriptorData.at(index).errors[s];
    }
    other.m_pass = pass;
    other.m_descriptor = index;
    other.m_image = pass->descriptors.at(index);
    other.m_image.data = paddedData(*pass, m_setting);
    return other;
}

CArrayReader CArrayReader::forSetting(Setting setting) const
{
    if (setting == m_setting || !ok())
        return *this;
    CArrayReader other(setting);
    if (m_pass->divergent) {
        other.read(m_text);
        return m_descriptor >= 0 ? other.descriptorReader(m_descriptor) : other;
    }
    other.m_text = m_text;
    other.m_read = true;
    other.m_error = m_pass->errors[setting];
    other.m_image = m_image;
    other.m_image.data = paddedData(*m_pass, setting);
    other.m_macros = m_pass->macros[setting];
    other.m_pass = m_pass;
    other.m_budget = m_budget;
    other.m_descriptor = m_descriptor;
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
