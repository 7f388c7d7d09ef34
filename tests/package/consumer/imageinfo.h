#ifndef IMAGEINFO_H
#define IMAGEINFO_H

#include <stdint.h>

/* What the program checks of each descriptor; images8.c and images9.c
 * read them, each against its own LVGL header. */
struct image_info
{
    const char *name;
    uint32_t magic; /* v9 only */
    uint32_t cf;
    uint32_t w;
    uint32_t h;
    uint32_t stride; /* v9 only */
    uint32_t data_size;
};

int images8_info(struct image_info *out, int max);
int images9_info(struct image_info *out, int max);

#endif
