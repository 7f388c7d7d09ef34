/* Checks the images that brindleforge_add_images() converted: each
 * descriptor's width, height, cf and data_size, worked out from the
 * layouts, and the header of the v9 .bin. */
#include "imageinfo.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(const char *what, const char *field, uint32_t got, uint32_t wanted)
{
    if (got != wanted) {
        printf("%s: %s is %lu, not %lu\n", what, field, (unsigned long)got,
               (unsigned long)wanted);
        ++failures;
    }
}

static uint32_t le(const unsigned char *p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

int main(void)
{
    struct image_info images[3];
    int count = images8_info(images, 3);
    count += images9_info(images + count, 3 - count);
    expect("images", "count", (uint32_t)count, 3);

    /* v8 TRUE_COLOR_ALPHA (cf 5): w * h * LV_IMG_PX_SIZE_ALPHA_BYTE, which is
     * 3 at the stand-in header's LV_COLOR_DEPTH 16. */
    expect("photo", "cf", images[0].cf, 5);
    expect("photo", "w", images[0].w, 37);
    expect("photo", "h", images[0].h, 23);
    expect("photo", "data_size", images[0].data_size, 37 * 23 * 3);
    expect("scene", "cf", images[1].cf, 5);
    expect("scene", "w", images[1].w, 29);
    expect("scene", "h", images[1].h, 17);
    expect("scene", "data_size", images[1].data_size, 29 * 17 * 3);
    /* v9 I4 (cf 0x09): 16 palette entries of 4 bytes, then h rows of
     * ceil(13 * 4 / 8) = 7 bytes. */
    expect("ui_tile", "magic", images[2].magic, 0x19);
    expect("ui_tile", "cf", images[2].cf, 0x09);
    expect("ui_tile", "w", images[2].w, 13);
    expect("ui_tile", "h", images[2].h, 9);
    expect("ui_tile", "stride", images[2].stride, 7);
    expect("ui_tile", "data_size", images[2].data_size, 16 * 4 + 7 * 9);

    /* v9 RGB565 with RLE: the 12-byte image header (magic, cf, flags
     * COMPRESSED, w, h, stride), then the block header (method 1, the
     * compressed and the uncompressed length) and the compressed bytes. */
    unsigned char file[65536];
    FILE *in = fopen(FS_DIR "/photo.bin", "rb");
    size_t size = in ? fread(file, 1, sizeof file, in) : 0;
    if (in)
        fclose(in);
    expect("photo.bin", "size at least 24", size >= 24, 1);
    if (size >= 24) {
        expect("photo.bin", "magic", file[0], 0x19);
        expect("photo.bin", "cf", file[1], 0x12);
        expect("photo.bin", "flags", le(file + 2, 2), 0x0008);
        expect("photo.bin", "w", le(file + 4, 2), 37);
        expect("photo.bin", "h", le(file + 6, 2), 23);
        expect("photo.bin", "stride", le(file + 8, 2), 74);
        expect("photo.bin", "method", le(file + 12, 4), 1);
        expect("photo.bin", "length", (uint32_t)size, 24 + le(file + 16, 4));
        expect("photo.bin", "uncompressed length", le(file + 20, 4), 74 * 23);
    }

    /* v9 RGB565 of tile.bmp after CROP, ROTATE, FLIP and RESIZE: 8 x 16
     * pixels, uncompressed, so the header and 16-byte rows. */
    in = fopen(FS_DIR "/tile.bin", "rb");
    size = in ? fread(file, 1, sizeof file, in) : 0;
    if (in)
        fclose(in);
    expect("tile.bin", "size", (uint32_t)size, 12 + 16 * 16);
    if (size >= 12) {
        expect("tile.bin", "flags", le(file + 2, 2), 0);
        expect("tile.bin", "w", le(file + 4, 2), 8);
        expect("tile.bin", "h", le(file + 6, 2), 16);
        expect("tile.bin", "stride", le(file + 8, 2), 16);
    }

    /* A frame set of photo.png, one v9 RGB565 frame of 40 ms. */
    struct frames_info set;
    images9_frames(&set);
    expect("set_photo", "frame_count", set.count, 1);
    expect("set_photo", "duration_ms", set.duration_ms, 40);
    expect("set_photo", "frame_ms[0]", set.first_ms, 40);
    expect("set_photo", "frames[0] is set_photo_0", (uint32_t)set.first_is_frame_0, 1);
    expect("set_photo_0", "cf", set.first.cf, 0x12);
    expect("set_photo_0", "w", set.first.w, 37);
    expect("set_photo_0", "data_size", set.first.data_size, 37 * 23 * 2);

    /* The folder of tile.bmp's one frame: 000.bin and frames.txt. */
    in = fopen(FRAMES_DIR "/tile/frames.txt", "rb");
    size = in ? fread(file, 1, sizeof file - 1, in) : 0;
    if (in)
        fclose(in);
    file[size] = 0;
    expect("tile/frames.txt", "is \"000.bin 100\"",
           strcmp((const char *)file, "000.bin 100\n") == 0, 1);
    in = fopen(FRAMES_DIR "/tile/000.bin", "rb");
    size = in ? fread(file, 1, sizeof file, in) : 0;
    if (in)
        fclose(in);
    expect("tile/000.bin", "size", (uint32_t)size, 12 + 26 * 9);

    if (failures == 0)
        printf("5 images and 2 frame sets as converted\n");
    return failures == 0 ? 0 : 1;
}
