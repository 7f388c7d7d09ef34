/* The v8 pack "icons" (tile.bmp and photo.png as TRUE_COLOR_ALPHA, bound
 * at run time): icons_bind() refuses a damaged blob and a short size, then
 * points the descriptors into the good one. */
#include "packcheck.h"

#include "icons.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int packs8_check(const char *path)
{
    static unsigned char blob[65536];
    static unsigned char copy[65536];
    int failures = 0;
    FILE *in = fopen(path, "rb");
    size_t size = in ? fread(blob, 1, sizeof blob, in) : 0;
    const lv_img_dsc_t *tile;
    if (in)
        fclose(in);
    memcpy(copy, blob, size);
    copy[size / 2] ^= 0x10;
    if (icons_image(ICONS_ID_TILE) != NULL || icons_bind(copy, size) != ICONS_BIND_BAD_CRC
        || icons_bind(blob, size - 1) != ICONS_BIND_BAD_SIZE
        || icons_image(ICONS_ID_TILE) != NULL) {
        printf("icons: a damaged or short blob was not refused\n");
        ++failures;
    }
    if (icons_bind(blob, size) != ICONS_BIND_OK) {
        printf("icons: %s was not bound\n", path);
        return failures + 1;
    }
    tile = icons_image(icons_find("tile"));
    /* 13 x 9 TRUE_COLOR_ALPHA at depth 16: 3 bytes a pixel, after the
     * entry's 4-byte header word (cf 5, w << 10, h << 21). */
    if (tile == NULL || tile->header.cf != LV_IMG_CF_TRUE_COLOR_ALPHA || tile->header.w != 13
        || tile->header.h != 9 || tile->data_size != 13 * 9 * 3
        || (uint32_t)(tile->data[-4] | tile->data[-3] << 8 | tile->data[-2] << 16
                      | (uint32_t)tile->data[-1] << 24)
            != (5u | 13u << 10 | 9u << 21)) {
        printf("icons: the tile descriptor is wrong\n");
        ++failures;
    }
    return failures;
}
