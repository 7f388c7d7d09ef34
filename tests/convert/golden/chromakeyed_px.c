/*
*---------------------------------------------------------------
*                        Brindle Forge                          
*                                                               
* 注:使用UTF8编码                                                 
* 注:本字体文件由Brindle Forge V0.1 生成                           
@AUTHOR_LINE@
*---------------------------------------------------------------
*/


#include "lvgl/lvgl.h"

#ifndef LV_ATTRIBUTE_MEM_ALIGN
#define LV_ATTRIBUTE_MEM_ALIGN
#endif


const LV_ATTRIBUTE_MEM_ALIGN uint8_t px_map[] = {
#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8
 /*Pixel format: Red: 3 bit, Green: 3 bit, Blue: 2 bit*/
  0xe0, 0x03, 
#endif
#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP == 0
 /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit*/
  0x00, 0xf8, 0x1f, 0x00, 
#endif
#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0
 /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes are swapped*/
  0xf8, 0x00, 0x00, 0x1f, 
#endif
#if LV_COLOR_DEPTH == 32
 /*Pixel format: Fix 0xFF: 8 bit, Red: 8 bit, Green: 8 bit, Blue: 8 bit*/
  0x00, 0x00, 0xff, 0xff, 0xff, 0x00, 0x00, 0xff, 
#endif
};

const lv_img_dsc_t px = {
    .header.always_zero = 0,
    .header.w = 2,
    .header.h = 1,
    .data_size = 2 * LV_COLOR_SIZE / 8,
    .header.cf = LV_IMG_CF_TRUE_COLOR_CHROMA_KEYED,
    .data = px_map,
};

//end of file