#ifndef DEVICEMODEL_H
#define DEVICEMODEL_H

#include "lvconf.h"

#include <imagesource.h>
#include <lvgl8formats.h>
#include <lvgl9formats.h>

#include <QHash>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QStringList>

namespace Convert {

struct OutputPlan;
struct LvglImageInfo;

// What the device's rules look at in one image: made from the plan of an
// output about to be written, or from the facts the reader gives about a
// file that exists, so that both are judged alike.
struct DeviceImage
{
    int lvgl = 8;
    QByteArray format; // the library's name without its prefix: "RGB565", "TRUE_COLOR"
    bool binary = false;
    // v8, a .bin whose bytes depend on the depth: the LV_COLOR_DEPTH it is
    // made for (8, 16 or 32); 0 for one that draws at every depth.
    int depth = 0;
    int swap = -1; // with depth 16: LV_COLOR_16_SWAP 0 or 1; -1 when unknown
    Lvgl9::Compression compression = Lvgl9::Compression::None;
    int width = 0; // 0 when not known yet
    int height = 0;
    int stride = 0; // v9: bytes per row; 0 when not known
    ImageKind embedded = ImageKind::Unknown; // RAW: the kind of file it holds

    static DeviceImage of(const OutputPlan &plan, QSize size = QSize(),
                          ImageKind embedded = ImageKind::Unknown);
    static DeviceImage of(const LvglImageInfo &info);
};

// The device as its lv_conf.h configures it: each setting the file
// defines, with the line it is defined on, and the library's default for
// each it leaves out; the LVGL release from lv_version.h or --lvgl. From
// them come the defaults of a plan and the rules of what this
// configuration draws:
//
// Refused (refusal()), naming the setting, its line and what to change:
//   v9, from 9.2, a format whose LV_DRAW_SW_SUPPORT_<format> is 0
//      (RGB565A8 is drawn through _RGB565; I1 to I8 are expanded to
//      ARGB8888 at load and need _ARGB8888; A1 to A8 are drawn as masks
//      and need none; ARGB8565 has no switch)
//   v9 compression: RLE without LV_USE_RLE; LZ4 without LV_USE_LZ4_INTERNAL,
//      LV_USE_LZ4_EXTERNAL or LV_USE_LZ4; either without
//      LV_BIN_DECODER_RAM_LOAD (from 9.1)
//   RAW without a decoder that reads C arrays: v8 PNG LV_USE_PNG, JPEG
//      LV_USE_SJPG; v9 PNG LV_USE_LODEPNG (or LV_USE_LIBPNG from 9.1),
//      JPEG LV_USE_TJPGD with LV_USE_FS_MEMFS; a GIF without LV_USE_GIF
//   v8 .bin made for another LV_COLOR_DEPTH or LV_COLOR_16_SWAP
//   v8 RGB565A8 at an LV_COLOR_DEPTH other than 16
//   an image of the other major version
// Warned (warnings()), not refused:
//   v9 copied into heap RAM at load: I1 to I8 (as ARGB8888), A1 to A4 (as
//      A8), compressed, or a stride other than LV_DRAW_BUF_STRIDE_ALIGN's
//   v9, from 9.2, cannot be rotated or scaled: A8 without
//      LV_DRAW_SW_SUPPORT_A8, RGB565 without LV_DRAW_SW_SUPPORT_RGB565A8
// Without lv_version.h the minor release is unknown, and the rules of the
// newest one apply.
class DeviceModel
{
public:
    DeviceModel() = default;

    // Reads confPath, and the version from versionPath, or else from an
    // lv_version.h beside confPath when there is one. lvgl is the --lvgl
    // given (8 or 9), 0 for none: it wins over the files. Without either,
    // the major version is told from the settings when they leave no doubt,
    // and is 0 otherwise (allowUnknown), or an error asking for --lvgl.
    bool load(const QString &confPath, const QString &versionPath, int lvgl, bool allowUnknown,
              QString *error);
    // The same from headers already read; version may be nullptr.
    bool load(const LvConf &conf, const LvConf *version, int lvgl, bool allowUnknown,
              QString *error);

    int major() const { return m_major; } // 8 or 9; 0 when unknown
    int minor() const { return m_minor; } // -1 when unknown
    // "LVGL 9.2.0", "LVGL 9" when the release is unknown.
    QString versionText() const;
    // Where the version came from and what the readers passed over, for -v.
    QStringList notes() const;
    const LvConf &conf() const { return m_conf; }

    // The setting as the device has it: its value in the file, or the
    // library's default when the file leaves it out (or holds no value the
    // reader understands). Every setting the rules read is read once by
    // load(), so a loaded model is only read from and may be shared by
    // threads.
    qint64 setting(const char *name) const;
    // How a message names it: "lv_conf.h:123: LV_USE_RLE is 0", or
    // "lv_conf.h does not set LV_USE_RLE (the library's default is 0)".
    QString said(const char *name) const;

    // v8: the depth of LV_COLOR_DEPTH and LV_COLOR_16_SWAP (1 stands for 8).
    ColorDepth depth() const;
    // v8: LV_COLOR_CHROMA_KEY.
    QRgb chromaKey() const;
    // v9: LV_DRAW_BUF_STRIDE_ALIGN, when a power of two up to 1024, else 1.
    int strideAlign() const;
    // Puts the file's defaults into plan where no option chose: a v8 .bin's
    // depth (of a format whose bytes depend on it) and the chroma key, a v9
    // stride alignment.
    void applyDefaults(OutputPlan *plan, bool depthGiven, bool strideGiven) const;

    // Why this configuration does not draw the image, or an empty string.
    QString refusal(const DeviceImage &image) const;
    // What the device does with the image that costs, one line each.
    QStringList warnings(const DeviceImage &image) const;

private:
    bool atLeast(int minor) const { return m_minor < 0 || m_minor >= minor; }
    qint64 defaultOf(const char *name) const;
    QString formatRefusal(const DeviceImage &image) const;
    QString compressionRefusal(const DeviceImage &image) const;
    QString embeddedRefusal(const DeviceImage &image) const;
    QString depthRefusal(const DeviceImage &image) const;
    struct Value
    {
        qint64 value = 0;
        int line = 0; // 0: the library's default
    };
    Value lookUp(const char *name) const;

    LvConf m_conf;
    QString m_versionName; // the version header as messages name it, or empty
    int m_versionLine = 0;
    int m_major = 0;
    int m_minor = -1;
    int m_patch = -1;
    QStringList m_notes;
    QHash<QByteArray, Value> m_values; // the settings the rules read, as load() found them
};

} // namespace Convert

#endif // DEVICEMODEL_H
