#include "packsource.h"

#include "cframe.h"
#include "textsink.h"

#include <QBuffer>

namespace Convert {
namespace Pack {

namespace {

// The banner, or the include lines of LVGL's header, as every C file has
// them.
QByteArray banner()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TextSink out(&buffer);
    CFrame::appendBanner(out);
    out.finish();
    return buffer.data();
}

QByteArray includeLines(IncludeStyle include)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TextSink out(&buffer);
    CFrame::appendInclude(out, include);
    out.finish();
    return buffer.data();
}

IncludeStyle includeOf(const OutputPlan &plan)
{
    return plan.include.value_or(plan.lvgl() == 9 ? IncludeStyle::Auto : IncludeStyle::Subdir);
}

QByteArray descriptorType(const OutputPlan &plan)
{
    return plan.lvgl() == 9 ? "lv_image_dsc_t" : "lv_img_dsc_t";
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

// The v8 "#if" that holds where the entries' bytes are right: a .bin of a
// true-colour format is made for one LV_COLOR_DEPTH.
QByteArray depthCondition(ColorDepth depth)
{
    switch (depth) {
    case ColorDepth::Depth8:
        return "LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8";
    case ColorDepth::Depth16:
        return "LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP == 0";
    case ColorDepth::Depth16Swap:
        return "LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0";
    case ColorDepth::Depth32:
        break;
    }
    return "LV_COLOR_DEPTH == 32";
}

QByteArray descriptor(const OutputPlan &plan, const QByteArray &name, const Entry &e, bool bind)
{
    const QByteArray data =
        bind ? QByteArray("NULL") : name + "_blob + " + number(e.offset + quint32(e.headerSize()));
    const QByteArray dataSize = number(e.bin.size() - e.headerSize());
    QByteArray text = (bind ? QByteArray() : QByteArray("const ")) + descriptorType(plan) + ' '
        + descriptorName(name, e.name) + " = {\n";
    if (plan.lvgl() == 9) {
        text += "    .header.magic = LV_IMAGE_HEADER_MAGIC,\n"
                "    .header.cf = LV_COLOR_FORMAT_"
            + QByteArray(plan.format9()->name) + ",\n    .header.flags = 0x"
            + QByteArray::number(e.flags, 16).rightJustified(4, '0')
            + ",\n    .header.w = " + number(e.width) + ",\n    .header.h = " + number(e.height)
            + ",\n    .header.stride = " + number(e.stride) + ",\n";
    } else {
        text += "    .header.always_zero = 0,\n    .header.w = " + number(e.width)
            + ",\n    .header.h = " + number(e.height) + ",\n    .header.cf = LV_IMG_CF_"
            + QByteArray(plan.format()->name) + ",\n";
    }
    return text + "    .data_size = " + dataSize + ",\n    .data = " + data + ",\n};\n";
}

// The checks and the CRC-32 of N_bind(); @N@ and @U@ stand for the pack's
// name and its upper case, @H@ for the LVGL header's size.
const char bindCode[] = R"(/* Little-endian fields of the blob. */
static uint32_t @N@_le32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static uint32_t @N@_le16(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

/* CRC-32 as zlib's crc32() computes it (reflected polynomial 0xEDB88320),
 * four bits a step. */
static uint32_t @N@_crc32(const uint8_t *p, uint32_t n)
{
    static const uint32_t table[16] = {
        0x00000000u, 0x1DB71064u, 0x3B6E20C8u, 0x26D930ACu, 0x76DC4190u, 0x6B6B51F4u,
        0x4DB26158u, 0x5005713Cu, 0xEDB88320u, 0xF00F9344u, 0xD6D6A3E8u, 0xCB61B38Cu,
        0x9B64C2B0u, 0x86D3D2D4u, 0xA00AE278u, 0xBDBDF21Cu};
    uint32_t crc = 0xFFFFFFFFu;
    while (n-- > 0) {
        crc ^= *p++;
        crc = (crc >> 4) ^ table[crc & 15u];
        crc = (crc >> 4) ^ table[crc & 15u];
    }
    return crc ^ 0xFFFFFFFFu;
}

int @N@_bind(const void *blob, size_t size)
{
    const uint8_t *b = (const uint8_t *)blob;
    uint32_t total, count, end, i;
    if (b == NULL || size < 20)
        return @U@_BIND_BAD_SIZE;
    if (memcmp(b, "BFPK", 4) != 0)
        return @U@_BIND_BAD_MAGIC;
    if (@N@_le16(b + 4) != 1)
        return @U@_BIND_BAD_VERSION;
    /* The blob's own size; a flash partition may be larger. */
    total = @N@_le32(b + 12);
    count = @N@_le16(b + 6);
    end = 20u + 48u * count;
    if (total > size || total < end)
        return @U@_BIND_BAD_SIZE;
    for (i = 0; i < count; ++i) {
        const uint8_t *e = b + 20u + 48u * i;
        const uint32_t offset = @N@_le32(e + 32), length = @N@_le32(e + 36);
        if (offset < end || offset > total || length > total - offset || length < @H@u)
            return @U@_BIND_BAD_SIZE;
    }
    if (@N@_crc32(b + 20, total - 20u) != @N@_le32(b + 16))
        return @U@_BIND_BAD_CRC;
    if (count != @U@_COUNT)
        return @U@_BIND_OTHER_PACK;
    for (i = 0; i < count; ++i) {
        const uint8_t *e = b + 20u + 48u * i;
        const size_t length = strlen(@N@_names[i]);
        if (memcmp(e, @N@_names[i], length + 1) != 0 || e[40] != @N@_facts[i][0]
            || e[41] != @N@_facts[i][1] || @N@_le16(e + 42) != @N@_facts[i][2]
            || @N@_le16(e + 44) != @N@_facts[i][3] || @N@_le16(e + 46) != @N@_facts[i][4]
            || @N@_le32(e + 36) != @N@_descriptors[i]->data_size + @H@u)
            return @U@_BIND_OTHER_PACK;
    }
    /* Every check passed: only now are the descriptors changed. */
    for (i = 0; i < count; ++i)
        @N@_descriptors[i]->data = b + @N@_le32(b + 20u + 48u * i + 32) + @H@u;
    @N@_bound = 1;
    return 0;
}
)";

QByteArray substituted(QByteArray text, const QByteArray &name, int headerSize)
{
    return text.replace("@N@", name)
        .replace("@U@", name.toUpper())
        .replace("@H@", QByteArray::number(headerSize));
}

} // namespace

QByteArray descriptorName(const QByteArray &name, const QByteArray &stem)
{
    return name + '_' + stem;
}

QString stemProblem(const QByteArray &stem)
{
    // Every N_... name the files define besides the descriptors.
    static const char *const own[] = {"blob",       "image", "find",        "bind",
                                      "memfs_path", "names", "descriptors", "facts",
                                      "bound",      "le16",  "le32",        "crc32"};
    for (const char *name : own) {
        if (stem == name)
            return QStringLiteral("an image named '%1' would take the pack's own symbol of that "
                                  "name; rename the file")
                .arg(QLatin1String(name));
    }
    return QString();
}

QByteArray headerText(const OutputPlan &plan, const QByteArray &name, const QVector<Entry> &entries,
                      bool bind)
{
    const QByteArray upper = name.toUpper();
    const QByteArray guard = upper + "_PACK_H";
    QByteArray text = banner() + "#ifndef " + guard + "\n#define " + guard
        + "\n\n#include <stddef.h>\n#include <stdint.h>\n\n" + includeLines(includeOf(plan));
    text += "\n#ifdef __cplusplus\nextern \"C\" {\n#endif\n\n";
    text += "/* The images of the pack, in the order of its index. */\nenum {\n";
    for (int i = 0; i < entries.size(); ++i)
        text += "    " + upper + "_ID_" + entries.at(i).name.toUpper() + " = " + number(i) + ",\n";
    text += "};\n#define " + upper + "_COUNT " + number(entries.size()) + "\n\n";
    for (const Entry &e : entries) {
        text += QByteArray("extern ") + (bind ? "" : "const ") + descriptorType(plan) + ' '
            + descriptorName(name, e.name) + ";\n";
    }
    if (!bind) {
        text += "\n/* The blob: " + name
            + "_blob.S links it in, or the linker script places it. "
              "*/\nextern const uint8_t "
            + name + "_blob[];\n";
    }
    text += "\n/* The descriptor of image id (" + upper
        + "_ID_...), or NULL for an id out of "
          "range"
        + (bind ? QByteArray(" or before ") + name + "_bind() has succeeded" : QByteArray())
        + ". */\nconst void *" + name + "_image(int id);\n"
        + "/* The id of the image whose C stem is stem (\"logo\"), or -1. */\nint " + name
        + "_find(const char *stem);\n";
    if (bind) {
        text += "\n/* What " + name + "_bind() returns. */\n#define " + upper
            + "_BIND_OK 0\n#define " + upper + "_BIND_BAD_MAGIC (-1) /* not a pack */\n#define "
            + upper + "_BIND_BAD_VERSION (-2) /* a format version this file does not read */\n"
            + "#define " + upper
            + "_BIND_BAD_SIZE (-3) /* shorter than its header says, or an entry outside it */\n"
            + "#define " + upper + "_BIND_BAD_CRC (-4) /* damaged or partly written */\n#define "
            + upper + "_BIND_OTHER_PACK (-5) /* not the images this file was made for */\n\n"
            + "/* Checks the blob (magic, version, sizes, CRC-32, the index) and points every "
              "descriptor\n * into it; on failure none is changed. The blob must stay where it "
              "is, at an address\n * aligned to the pack's alignment (its entries' data are "
              "aligned "
              "from the blob's start), while the descriptors "
              "are used. */\nint "
            + name + "_bind(const void *blob, size_t size);\n";
    }
    if (plan.lvgl() == 9) {
        text += "\n#if defined(LV_USE_FS_MEMFS) && LV_USE_FS_MEMFS\n"
                "/* Fills path so that the library opens image id as a .bin through MEMFS (LVGL "
                "9.4 and\n * later). Returns 0, or -1 where "
            + name + "_image(id) is NULL. */\nint " + name
            + "_memfs_path(lv_fs_path_ex_t *path, int id);\n#endif\n";
    }
    text += "\n#ifdef __cplusplus\n} /* extern \"C\" */\n#endif\n\n#endif /* " + guard + " */\n";
    return text;
}

QByteArray sourceText(const OutputPlan &plan, const QByteArray &name, const QVector<Entry> &entries,
                      bool bind)
{
    const QByteArray upper = name.toUpper();
    const int headerSize = plan.lvgl() == 9 ? 12 : 4;
    QByteArray text = banner();
    text += "#include \"" + name + ".h\"\n\n#include <string.h>\n\n";
    if (plan.lvgl() == 8 && Lvgl8::dependsOnDepth(*plan.format())) {
        text += "#if !(" + depthCondition(plan.depth) + ")\n#error \"the images of pack " + name
            + " are made for " + depthSetting(plan.depth).toLatin1() + "\"\n#endif\n\n";
    }
    for (const Entry &e : entries)
        text += descriptor(plan, name, e, bind) + '\n';

    text += "static const char *const " + name + "_names[" + upper + "_COUNT] = {\n";
    for (const Entry &e : entries)
        text += "    \"" + e.name + "\",\n";
    text += "};\n\n";
    text += "static " + QByteArray(bind ? "" : "const ") + descriptorType(plan) + " *const " + name
        + "_descriptors[" + upper + "_COUNT] = {\n";
    for (const Entry &e : entries)
        text += "    &" + descriptorName(name, e.name) + ",\n";
    text += "};\n\n";
    if (bind) {
        // LVGL version, cf, width, height and stride of each entry, as the
        // index must give them.
        text += "static const uint16_t " + name + "_facts[" + upper + "_COUNT][5] = {\n";
        for (const Entry &e : entries) {
            text += "    {" + number(e.lvgl) + ", " + number(e.cf) + ", " + number(e.width) + ", "
                + number(e.height) + ", " + number(e.stride) + "},\n";
        }
        text += "};\n\nstatic int " + name + "_bound;\n\n";
        text += substituted(bindCode, name, headerSize) + '\n';
    }
    text += "const void *" + name + "_image(int id)\n{\n";
    if (bind)
        text += "    if (!" + name + "_bound)\n        return NULL;\n";
    text += "    return id >= 0 && id < " + upper + "_COUNT ? " + name
        + "_descriptors[id] : NULL;\n}\n\n";
    text += "int " + name + "_find(const char *stem)\n{\n    int i;\n    for (i = 0; i < " + upper
        + "_COUNT; ++i) {\n        if (strcmp(" + name
        + "_names[i], stem) == 0)\n            return i;\n    }\n    return -1;\n}\n";
    if (plan.lvgl() == 9) {
        text += "\n#if defined(LV_USE_FS_MEMFS) && LV_USE_FS_MEMFS\nint " + name
            + "_memfs_path(lv_fs_path_ex_t *path, int id)\n{\n    const lv_image_dsc_t *image = "
            + name
            + "_image(id);\n    if (image == NULL)\n        return -1;\n"
              "    /* The entry's .bin starts with the 12-byte header before .data. */\n"
              "    lv_fs_make_path_from_buffer(path, LV_FS_MEMFS_LETTER, image->data - 12,\n"
              "                                image->data_size + 12, \"bin\");\n"
              "    return 0;\n}\n#endif\n";
    }
    return text;
}

QByteArray assemblyText(const QByteArray &name, const QByteArray &section, int align)
{
    const QByteArray placed = section.isEmpty() ? QByteArray(".rodata") : section;
    return "/* The pack's blob, linked into the firmware: assemble this file with the\n"
           " * folder of "
        + name + ".bin on the assembler's include path (-Wa,-I<folder>). */\n\n" + "    .section "
        + placed + ",\"a\"\n    .balign " + number(align) + "\n    .global " + name
        + "_blob\n#if defined(__ELF__)\n    .type " + name + "_blob, %object\n#endif\n" + name
        + "_blob:\n    .incbin \"" + name + ".bin\"\n#if defined(__ELF__)\n    .size " + name
        + "_blob, . - " + name + "_blob\n    .section .note.GNU-stack,\"\",%progbits\n"
        + "#endif\n";
}

} // namespace Pack
} // namespace Convert
