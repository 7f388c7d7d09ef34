// The part of CommandLine that fits the options to the device's
// configuration (--lv-conf): read once, then its defaults and refusals
// applied to the plan.
#include "commandline.h"

#include <devicemodel.h>

using namespace Convert;

QString CommandLine::loadDevice(int lvgl)
{
    auto device = std::make_shared<DeviceModel>();
    QString error;
    if (!device->load(m_parser.value(m_lvConfOption), m_parser.value(m_lvVersionOption), lvgl,
                      false, &error))
        return tr("--lv-conf: %1").arg(error);
    m_device = device;
    return QString();
}

QString CommandLine::fitDevice()
{
    // A window's binary format (-f bin-rgb565) fixes its depth as --depth
    // does.
    const bool depthGiven = m_parser.isSet(m_depthOption) || isBinary(m_outputFormat);
    m_device->applyDefaults(&m_spec, depthGiven, m_parser.isSet(m_strideOption));
    const QString refusal = m_device->refusal(DeviceImage::of(m_spec));
    if (!refusal.isEmpty())
        return refusal;
    // The depth the file chose is checked as one given would be.
    return specProblem(m_spec);
}

QString CommandLine::deviceHelpText()
{
    return tr("Fitting the device (--lv-conf): the project's lv_conf.h is read without being\n"
              "compiled (its #includes are not followed), and a setting it leaves out takes\n"
              "the library's default. The LVGL version is --lvgl's, else lv_version.h's (beside\n"
              "the lv_conf.h, or --lv-version), else that of the settings only one version\n"
              "has. Where no option says otherwise, a v8 .bin takes --depth from\n"
              "LV_COLOR_DEPTH and LV_COLOR_16_SWAP, v8 chroma keying (its warnings and\n"
              "--preview) takes LV_COLOR_CHROMA_KEY, and v9 --stride-align comes from\n"
              "LV_DRAW_BUF_STRIDE_ALIGN.\n"
              "\n"
              "Refused, as usage errors naming the setting, its line and what to change:\n"
              "  v9 from 9.2: a format whose LV_DRAW_SW_SUPPORT_<format> is 0 (RGB565A8 needs\n"
              "    _RGB565; I1 to I8 need _ARGB8888; A1 to A8 need none)\n"
              "  --compress rle without LV_USE_RLE; lz4 without LV_USE_LZ4_INTERNAL,\n"
              "    LV_USE_LZ4_EXTERNAL or LV_USE_LZ4; either without\n"
              "    LV_BIN_DECODER_RAM_LOAD 1 (from 9.1)\n"
              "  RAW without a decoder that reads C arrays: v8 LV_USE_PNG or LV_USE_SJPG; v9\n"
              "    LV_USE_LODEPNG or LV_USE_LIBPNG (from 9.1) for PNG, LV_USE_TJPGD with\n"
              "    LV_USE_FS_MEMFS for JPEG; a GIF without LV_USE_GIF\n"
              "  v8: a .bin for another LV_COLOR_DEPTH or LV_COLOR_16_SWAP than the file's;\n"
              "    RGB565A8 unless LV_COLOR_DEPTH is 16\n"
              "\n"
              "Warned, one line each on stderr (not with -q):\n"
              "  v9: the image is copied into heap RAM at load (I1 to I8, A1 to A4,\n"
              "    compressed, or a stride other than LV_DRAW_BUF_STRIDE_ALIGN asks for),\n"
              "    with the bytes it takes\n"
              "  v9 from 9.2: it cannot be rotated or scaled (A8 without\n"
              "    LV_DRAW_SW_SUPPORT_A8, RGB565 without LV_DRAW_SW_SUPPORT_RGB565A8)\n"
              "Without lv_version.h the release is unknown and the newest one's rules apply.\n"
              "-v lists what the reader passed over.\n"
              "\n");
}
