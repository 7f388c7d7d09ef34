#ifndef PACKSOURCE_H
#define PACKSOURCE_H

#include "pack.h"

#include <QByteArray>
#include <QVector>

namespace Convert {
namespace Pack {

// The C side of a pack named name (a C identifier; N below, U its upper
// case), for entries laid out by assemble():
//
// N.h: an include guard, LVGL's header, the ids (enum U_ID_<STEM> = 0,
//   1, ... in index order, and U_COUNT), one extern descriptor per image
//   named N_<stem> (lv_img_dsc_t for v8, lv_image_dsc_t for v9),
//   const void *N_image(int id) and int N_find(const char *stem) (the id,
//   or -1); with bind, int N_bind(const void *blob, size_t size) and its
//   codes U_BIND_*; for v9, behind LV_USE_FS_MEMFS, int N_memfs_path(
//   lv_fs_path_ex_t *path, int id), which makes a MEMFS path over the
//   entry's .bin (LVGL 9.4 and later).
// N.c, linked (default): const descriptors whose .data is N_blob + the
//   entry's offset + its LVGL header's size, N_blob being
//   `extern const uint8_t N_blob[]` (from N_blob.S, or placed by the
//   firmware's linker script). Address constants only, no casts.
// N.c, bound: the same descriptors, not const, with .data NULL until
//   N_bind() has checked the blob (magic, version, sizes, CRC-32, and that
//   its index names the images this file was made for) and pointed them
//   into it.
// N_blob.S: the blob pulled in by .incbin "N.bin" into section (or
//   .rodata), aligned to the pack's alignment, as the global N_blob (GNU
//   as syntax, ELF targets: GCC and Clang).
QByteArray headerText(const OutputPlan &plan, const QByteArray &name, const QVector<Entry> &entries,
                      bool bind);
QByteArray sourceText(const OutputPlan &plan, const QByteArray &name, const QVector<Entry> &entries,
                      bool bind);
QByteArray assemblyText(const QByteArray &name, const QByteArray &section, int align);

// The C name of an entry's descriptor: N_<stem>.
QByteArray descriptorName(const QByteArray &name, const QByteArray &stem);
// Why stem cannot name an entry: N_<stem> would be one of the pack's own
// names (N_blob, N_image, N_find, N_bind...); or an empty string.
QString stemProblem(const QByteArray &stem);

// The codes N_bind() returns; the header names them U_BIND_*.
enum BindCode {
    BindOk = 0,
    BindBadMagic = -1, // not a pack: the first four bytes are not "BFPK"
    BindBadVersion = -2, // a format version this file does not read
    BindBadSize = -3, // shorter than its header says, or an entry outside it
    BindBadCrc = -4, // the CRC-32 does not match: a damaged or partly written blob
    BindOtherPack = -5, // a good pack, but not of the images this file was made for
};

} // namespace Pack
} // namespace Convert

#endif // PACKSOURCE_H
