#include "imageinfo.h"
#include "lvgl/lvgl.h"

/* Defined by the C files that brindleforge_add_images() made. */
extern const lv_img_dsc_t photo;
extern const lv_img_dsc_t scene;

static struct image_info info(const char *name, const lv_img_dsc_t *d)
{
    struct image_info i = {name, 0, d->header.cf, d->header.w, d->header.h, 0, d->data_size};
    return i;
}

int images8_info(struct image_info *out, int max)
{
    if (max < 2)
        return 0;
    out[0] = info("photo", &photo);
    out[1] = info("scene", &scene);
    return 2;
}
