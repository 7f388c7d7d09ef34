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

/* A frame set, made with FRAMES and SYMBOL_PREFIX set_. */
extern const void * const set_photo_frames[];
extern const uint32_t set_photo_frame_count;
extern const uint32_t set_photo_frame_ms[];
extern const uint32_t set_photo_duration_ms;
extern const lv_image_dsc_t set_photo_0;

int images9_frames(struct frames_info *out)
{
    const lv_image_dsc_t *d = &set_photo_0;
    struct image_info first = {"set_photo_0", d->header.magic, d->header.cf, d->header.w,
                               d->header.h,   d->header.stride, d->data_size};
    out->count = set_photo_frame_count;
    out->duration_ms = set_photo_duration_ms;
    out->first_ms = set_photo_frame_ms[0];
    out->first_is_frame_0 = set_photo_frames[0] == d;
    out->first = first;
    return 1;
}
