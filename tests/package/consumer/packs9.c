/* The v9 pack "ui" (photo.png and scene.jpg as RGB565, linked in by
 * ui_blob.S into .ext_flash, entries aligned to 16): each descriptor
 * points at the pixels of its entry, whose own .bin header agrees. */
#include "packcheck.h"

#include "ui.h"

#include <stdio.h>

extern const uint8_t ui_blob[];

int packs9_check(void)
{
    static const uint32_t sizes[UI_COUNT][2] = {{37, 23}, {29, 17}};
    int failures = 0;
    int id;
    if (UI_COUNT != 2 || ui_find("photo") != UI_ID_PHOTO || ui_find("scene") != UI_ID_SCENE
        || ui_find("tile") != -1 || ui_image(UI_COUNT) != NULL) {
        printf("ui: the ids and lookups are wrong\n");
        ++failures;
    }
    if (ui_blob[0] != 'B' || ui_blob[1] != 'F' || ui_blob[2] != 'P' || ui_blob[3] != 'K') {
        printf("ui: ui_blob does not start with the pack's magic\n");
        ++failures;
    }
    for (id = 0; id < UI_COUNT; ++id) {
        const lv_image_dsc_t *d = ui_image(id);
        const uint8_t *bin = d->data - 12;
        const uint32_t w = sizes[id][0], h = sizes[id][1];
        if (d->header.cf != LV_COLOR_FORMAT_RGB565 || d->header.w != w || d->header.h != h
            || d->header.stride != 2 * w || d->data_size != 2 * w * h) {
            printf("ui: descriptor %d is not %lu x %lu RGB565\n", id, (unsigned long)w,
                   (unsigned long)h);
            ++failures;
        }
        /* The entry is the image's .bin: magic, cf, flags, w, h, little-endian. */
        if (bin[0] != 0x19 || bin[1] != 0x12 || (uint32_t)(bin[4] | bin[5] << 8) != w
            || (uint32_t)(bin[6] | bin[7] << 8) != h || (d->data - ui_blob) % 16 != 0) {
            printf("ui: the entry of descriptor %d does not hold its .bin with the data at "
                   "a multiple of 16\n",
                   id);
            ++failures;
        }
    }
    return failures;
}
