#include "infooptions.h"

InspectOptions::InspectOptions()
    : json(QStringLiteral("json"), tr("Give the facts as JSON on stdout, for scripts and CI."))
    , png(QStringLiteral("png"),
          tr("Write what the device will show as a PNG. With several files, OUT is a folder "
             "(created if missing) and each PNG is named after its file."),
          QStringLiteral("OUT"))
    , frame(QStringLiteral("frame"),
            tr("With --png, write frame N of an animation (a frame set or an embedded GIF) "
               "instead of the first. N counts from 0, as the frames' names do."),
            QStringLiteral("N"))
    , depth(QStringLiteral("depth"),
            tr("The device's LV_COLOR_DEPTH: 8, 16 or 32. Default: the depth a v8 .bin is packed "
               "for, otherwise 16."),
            tr("depth"))
    , swap(QStringLiteral("swap"), tr("LV_COLOR_16_SWAP is set (with --depth 16)."))
    , chromaKey(QStringLiteral("chroma-key"),
                tr("LV_COLOR_CHROMA_KEY, as RRGGBB. Default: 00FF00."), QStringLiteral("RRGGBB"))
    , recolor(QStringLiteral("recolor"),
              tr("The recolour alpha-only images are drawn in, as RRGGBB. Default: black."),
              QStringLiteral("RRGGBB"))
    , background(
          QStringLiteral("background"),
          tr("Draw the image over this colour (RRGGBB). Without it the PNG keeps the alpha."),
          QStringLiteral("RRGGBB"))
    , lvgl(QStringLiteral("lvgl"),
           tr("Read every .bin as LVGL 8 or 9. Default: 9 for a file starting with 0x19, the v9 "
              "magic, otherwise 8."),
           QStringLiteral("version"))
    , entry(QStringLiteral("entry"),
            tr("For an asset pack (a file starting with \"BFPK\"): the entry --png renders, by "
               "its name in the pack's index."),
            tr("name"))
    , lvConf(QStringLiteral("lv-conf"),
             tr("The project's lv_conf.h: also say whether this configuration draws each file, "
                "and why not (a file it does not draw counts as failed), and what it costs "
                "there."),
             QStringLiteral("FILE"))
    , lvVersion(QStringLiteral("lv-version"),
                tr("With --lv-conf: the library's lv_version.h. Default: one beside the "
                   "lv_conf.h, else --lvgl, else each file's own version."),
                QStringLiteral("FILE"))
    , help({QStringLiteral("h"), QStringLiteral("help")}, tr("Show this help and exit."))
{
}

QList<QCommandLineOption> InspectOptions::listed() const
{
    return {json,       png,  frame, depth,  swap,      chromaKey, recolor,
            background, lvgl, entry, lvConf, lvVersion, help};
}

QString InspectOptions::description()
{
    return tr("Shows what an LVGL image file (.bin or C array, v8 or v9) holds, whether it is "
              "consistent, and what the device will show for it. A C file may hold a frame set "
              "or a GIF embedded for the GIF player.");
}

QString InspectOptions::filesDescription()
{
    return tr("LVGL image files.");
}

QString InspectOptions::detailsText()
{
    return tr("\n"
              "For each file: the LVGL version and the format by its library name; width,\n"
              "height, stride and flags; .data_size against the bytes present; the depth\n"
              "sections of a C array; the palette entries used; the compression and its\n"
              "ratio; whether the file is consistent; and the traps the library sets for\n"
              "it.\n"
              "\n"
              "An animation gets its frames too. A frame set (a C file of one descriptor\n"
              "per frame, for the animation image widget): each frame's descriptor, size,\n"
              "format and delay, the frames that share an array, the duration and the loop\n"
              "count; it is consistent when every frame is, NAME_frame_count is the length\n"
              "of NAME_frames and NAME_duration_ms the sum of NAME_frame_ms. A GIF embedded\n"
              "as RAW (for the GIF player): its frames, canvas, delays, loop count and the\n"
              "RAM the player allocates (LVGL 8 at --depth, LVGL 9 in ARGB8888).\n"
              "\n"
              "Exit status:\n"
              "  0  every file is consistent (and every PNG was written)\n"
              "  1  some file is inconsistent or cannot be read, or the --lv-conf\n"
              "     configuration does not draw it (one line each on stderr)\n"
              "  2  usage error\n"
              "\n"
              "Examples:\n"
              "  brindleforge-cli inspect logo.bin\n"
              "  brindleforge-cli inspect --depth 16 --swap --png preview.png logo.c\n"
              "  brindleforge-cli inspect --json --png previews/ assets/*.bin\n"
              "  brindleforge-cli inspect --png logo.png --entry logo ui.bin\n"
              "  brindleforge-cli inspect --png third.png --frame 2 spinner.c\n"
              "  brindleforge-cli inspect --lv-conf src/lv_conf.h assets/*.c\n"
              "\n"
              "An asset pack (--pack) shows its header, each entry's facts and consistency\n"
              "(its own LVGL header against the index, alignment, bounds, overlaps, its\n"
              "data), and whether the CRC-32 matches.\n");
}

QStringList InspectOptions::valueChoices(const QCommandLineOption &option) const
{
    if (option.names() == depth.names())
        return {QStringLiteral("8"), QStringLiteral("16"), QStringLiteral("32")};
    if (option.names() == lvgl.names())
        return {QStringLiteral("8"), QStringLiteral("9")};
    return {};
}

bool InspectOptions::takesPath(const QCommandLineOption &option) const
{
    return option.names() == png.names() || option.names() == lvConf.names()
        || option.names() == lvVersion.names();
}
