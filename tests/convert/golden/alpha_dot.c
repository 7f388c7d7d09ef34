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


const LV_ATTRIBUTE_MEM_ALIGN uint8_t dot_map[] = {
#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8
//Pixel format: Alpha 8 bit, Red: 3 bit, Green: 3 bit, Blue: 2 bit
  0xcc, 0x80, 
#endif
#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP == 0
//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit
  0x26, 0xcb, 0x80, 
#endif
#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0
//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes are swapped
  0xcb, 0x26, 0x80, 
#endif
#if LV_COLOR_DEPTH == 32
  0x32, 0x64, 0xc8, 0x80, 
#endif
};

const lv_img_dsc_t dot = {
    .header.always_zero = 0,
    .header.w = 1,
    .header.h = 1,
    .data_size = 1 * LV_IMG_PX_SIZE_ALPHA_BYTE,
    .header.cf = LV_IMG_CF_TRUE_COLOR_ALPHA,
    .data = dot_map,
};

//end of file