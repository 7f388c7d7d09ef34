#include "outputplan.h"

namespace Convert {

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
