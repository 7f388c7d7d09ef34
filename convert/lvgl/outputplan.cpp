#include "outputplan.h"

namespace Convert {

bool OutputPlan::isRaw() const
{
    if (lvgl == 9)
        return format9 && format9->layout == Lvgl9::Layout::Raw;
    return format && format->layout == Lvgl8::Layout::Raw;
}

} // namespace Convert
