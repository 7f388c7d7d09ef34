#include "imageinfo.h"
#include "lvgl/lvgl.h"

/* Made with SYMBOL_PREFIX ui_. */
extern const lv_image_dsc_t ui_tile;

int images9_info(struct image_info *out, int max)
{
    if (max < 1)
        return 0;
    const lv_image_dsc_t *d = &ui_tile;
    struct image_info i = {"ui_tile",     d->header.magic,  d->header.cf, d->header.w,
                           d->header.h, d->header.stride, d->data_size};
    out[0] = i;
    return 1;
}
