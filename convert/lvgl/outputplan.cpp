#include "outputplan.h"

namespace Convert {

QString Placement::sectionProblem(const QString &section)
{
    if (section.isEmpty())
        return QStringLiteral("the section name is empty");
    if (section.size() > MaxSection)
        return QStringLiteral("the section name is longer than %1 characters")
            .arg(QString::number(MaxSection));
    for (const QChar c : section) {
        const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.')
            || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('-');
        // The name goes into a C string and an assembler directive as it
        // is: quotes, spaces and backslashes would need escaping in both.
        if (!ok)
            return QStringLiteral("'%1' is not a section name: it may hold letters, digits and "
                                  "the characters . _ $ -")
                .arg(section);
    }
    return QString();
}

bool Placement::isAlignment(int align)
{
    return align >= 1 && align <= MaxAlign && (align & (align - 1)) == 0;
}

const Lvgl8::Format *OutputPlan::format() const
{
    const auto *v8 = std::get_if<const Lvgl8::Format *>(&row);
    return v8 ? *v8 : nullptr;
}

const Lvgl9::Format *OutputPlan::format9() const
{
    const auto *v9 = std::get_if<const Lvgl9::Format *>(&row);
    return v9 ? *v9 : nullptr;
}

bool OutputPlan::isRaw() const
{
    if (const Lvgl9::Format *f = format9())
        return f->layout == Lvgl9::Layout::Raw;
    const Lvgl8::Format *f = format();
    return f && f->layout == Lvgl8::Layout::Raw;
}

} // namespace Convert
