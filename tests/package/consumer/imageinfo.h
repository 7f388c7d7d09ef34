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

/* What the program checks of a frame set. */
struct frames_info
{
    uint32_t count;
    uint32_t duration_ms;
    uint32_t first_ms;
    int first_is_frame_0; /* frames[0] is the descriptor of frame 0 */
    struct image_info first;
};

int images8_info(struct image_info *out, int max);
int images9_frames(struct frames_info *out);
int images9_info(struct image_info *out, int max);

#endif
