/*
 * A small stand-in for the LVGL v8 header, just enough to compile the C
 * files BrindleForge generates: the image header bit-fields, the image
 * descriptor, the colour format constants and the size macros for colour
 * depths 1, 8, 16 (optionally byte-swapped) and 32. Set LV_COLOR_DEPTH and
 * LV_COLOR_16_SWAP on the compiler's command line.
 */
#ifndef LVGL_H
#define LVGL_H

#include <stdint.h>

#ifndef LV_COLOR_DEPTH
#define LV_COLOR_DEPTH 16
#endif
#ifndef LV_COLOR_16_SWAP
#define LV_COLOR_16_SWAP 0
#endif

#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8
#define LV_COLOR_SIZE 8
#define LV_IMG_PX_SIZE_ALPHA_BYTE 2
#elif LV_COLOR_DEPTH == 16
#define LV_COLOR_SIZE 16
#define LV_IMG_PX_SIZE_ALPHA_BYTE 3
#elif LV_COLOR_DEPTH == 32
#define LV_COLOR_SIZE 32
#define LV_IMG_PX_SIZE_ALPHA_BYTE 4
#else
#error "LV_COLOR_DEPTH must be 1, 8, 16 or 32"
#endif

enum {
    LV_IMG_CF_UNKNOWN = 0,
    LV_IMG_CF_RAW,
    LV_IMG_CF_RAW_ALPHA,
    LV_IMG_CF_RAW_CHROMA_KEYED,
    LV_IMG_CF_TRUE_COLOR,
    LV_IMG_CF_TRUE_COLOR_ALPHA,
    LV_IMG_CF_TRUE_COLOR_CHROMA_KEYED,
    LV_IMG_CF_INDEXED_1BIT,
    LV_IMG_CF_INDEXED_2BIT,
    LV_IMG_CF_INDEXED_4BIT,
    LV_IMG_CF_INDEXED_8BIT,
    LV_IMG_CF_ALPHA_1BIT,
    LV_IMG_CF_ALPHA_2BIT,
    LV_IMG_CF_ALPHA_4BIT,
    LV_IMG_CF_ALPHA_8BIT,
    LV_IMG_CF_RGB565A8 = 20,
};

typedef struct
{
    uint32_t cf : 5;
    uint32_t always_zero : 3;
    uint32_t reserved : 2;
    uint32_t w : 11;
    uint32_t h : 11;
} lv_img_header_t;

typedef struct
{
    lv_img_header_t header;
    uint32_t data_size;
    const uint8_t *data;
} lv_img_dsc_t;

#endif /* LVGL_H */
