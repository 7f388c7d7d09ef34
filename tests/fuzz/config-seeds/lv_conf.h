#if 1 /* Set it to "1" to enable content */
#ifndef LV_CONF_H
#define LV_CONF_H
#define LV_COLOR_DEPTH 16
#define LV_COLOR_CHROMA_KEY lv_color_hex(0x00ff00)
#define LV_DRAW_BUF_STRIDE_ALIGN (1 << 2)
#ifdef LV_CONF_PATH
#define LV_USE_RLE 1
#elif defined(LV_USE_LZ4) && LV_USE_LZ4 > 0 \
    || 0
#define LV_USE_LZ4_INTERNAL 1
#else
#undef LV_USE_RLE
#endif
#define LV_DRAW_SW_SUPPORT_L8 0
#define LV_MEM_SIZE (64 * 1024U)
#endif /*LV_CONF_H*/
#endif
