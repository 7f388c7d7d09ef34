/*
 * A small stand-in for the LVGL v9 header, just enough to compile the C
 * files BrindleForge generates for v9: the image header bit-fields, the
 * image descriptor and the colour format constants. Define
 * STAND_IN_LVGL_9_0 for the image types of the 9.0 release, which lack the
 * header's reserved field and the formats added later. With LV_USE_FS_MEMFS
 * set, the MEMFS path type and its maker are declared too.
 */
#ifndef LVGL_H
#define LVGL_H

#include <stdint.h>

#define LV_IMAGE_HEADER_MAGIC (0x19)

typedef enum {
    LV_COLOR_FORMAT_UNKNOWN = 0,
    LV_COLOR_FORMAT_RAW = 0x01,
    LV_COLOR_FORMAT_RAW_ALPHA = 0x02,
    LV_COLOR_FORMAT_L8 = 0x06,
    LV_COLOR_FORMAT_I1 = 0x07,
    LV_COLOR_FORMAT_I2 = 0x08,
    LV_COLOR_FORMAT_I4 = 0x09,
    LV_COLOR_FORMAT_I8 = 0x0A,
    LV_COLOR_FORMAT_A1 = 0x0B,
    LV_COLOR_FORMAT_A2 = 0x0C,
    LV_COLOR_FORMAT_A4 = 0x0D,
    LV_COLOR_FORMAT_A8 = 0x0E,
    LV_COLOR_FORMAT_RGB888 = 0x0F,
    LV_COLOR_FORMAT_ARGB8888 = 0x10,
    LV_COLOR_FORMAT_XRGB8888 = 0x11,
    LV_COLOR_FORMAT_RGB565 = 0x12,
    LV_COLOR_FORMAT_RGB565A8 = 0x14,
#ifndef STAND_IN_LVGL_9_0
    LV_COLOR_FORMAT_ARGB8565 = 0x13,
    LV_COLOR_FORMAT_AL88 = 0x15,
    LV_COLOR_FORMAT_ARGB8888_PREMULTIPLIED = 0x1A,
    LV_COLOR_FORMAT_RGB565_SWAPPED = 0x1B,
#endif
} lv_color_format_t;

typedef struct
{
    uint32_t magic : 8;
    uint32_t cf : 8;
    uint32_t flags : 16;
    uint32_t w : 16;
    uint32_t h : 16;
    uint32_t stride : 16;
#ifndef STAND_IN_LVGL_9_0
    uint32_t reserved_2 : 16;
#endif
} lv_image_header_t;

typedef struct
{
    lv_image_header_t header;
    uint32_t data_size;
    const uint8_t *data;
} lv_image_dsc_t;

/* MEMFS, from 9.4 on: a path over a buffer in memory. The test that sets
 * LV_USE_FS_MEMFS defines the function. */
#if defined(LV_USE_FS_MEMFS) && LV_USE_FS_MEMFS
#define LV_FS_MEMFS_LETTER 'M'
typedef struct
{
    char path[4];
    const void *buffer;
    uint32_t size;
} lv_fs_path_ex_t;
void lv_fs_make_path_from_buffer(lv_fs_path_ex_t *path, char letter, const void *buf, uint32_t size,
                                 const char *ext);
#endif

#endif /* LVGL_H */
