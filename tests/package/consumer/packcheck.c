/* Checks the asset packs that brindleforge_add_images(PACK) made. */
#include "packcheck.h"

#include <stdio.h>

int main(void)
{
    const int failures = packs9_check() + packs8_check(PACK_DIR "/icons.bin");
    if (failures == 0)
        printf("2 packs, linked and bound\n");
    return failures == 0 ? 0 : 1;
}
