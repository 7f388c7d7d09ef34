#include "outputversion.h"

#include "lvgl8output.h"
#include "lvgl9output.h"

namespace Convert {

const OutputVersion &OutputVersion::of(const OutputPlan &plan)
{
    static const Lvgl8Output v8;
    static const Lvgl9Output v9;
    if (plan.lvgl() == 9)
        return v9;
    return v8;
}

} // namespace Convert
