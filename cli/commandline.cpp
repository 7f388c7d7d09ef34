#include "commandline.h"

#include <buildconfig.h>
#include <csymbol.h>
#include <devicemodel.h>
#include <imagekinds.h>
#include <outputversion.h>

#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <iterator>

using namespace Convert;

namespace {

// The values of -f, in the order of the window's "Output format" box, then
// "bin" for the .bin of whatever -c chooses.
struct OutputFormatName
{
    const char *name;
    OutputFormat format; // CArray also stands for "bin"
    bool anyBinary;
};

const OutputFormatName outputFormatNames[] = {
    {"c", CArray, false},
    {"bin-rgb332", BinaryRgb332, false},
    {"bin-rgb565", BinaryRgb565, false},
    {"bin-rgb565-swap", BinaryRgb565Swap, false},
    {"bin-rgb888", BinaryRgb888, false},
    {"bin", CArray, true},
};

// The window's names for its colour formats, which -c also accepts; every
// LVGL name and dashed spelling of the format table is accepted too.
struct ColorFormatName
{
    const char *name;
    ColorFormat format;
};

const ColorFormatName colorFormatNames[] = {
    {"true-color", TrueColor},
    {"true-color-alpha", TrueColorAlpha},
    {"chroma-keyed", TrueColorChromaKeyed},
    {"indexed-256", Indexed256},
};

const char *const shellNames[] = {"bash", "zsh"};

// The values of --include, in the order of IncludeStyle.
const char *const includeNames[] = {"auto", "subdir", "simple"};

// Whether a symbol prefix can start a C identifier that is not reserved: an
// ASCII letter, then letters, digits and '_'.
bool isPrefixText(const QString &prefix)
{
    const auto isLetter = [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    };
    if (prefix.isEmpty() || !isLetter(prefix.at(0)))
        return false;
    return std::all_of(prefix.begin(), prefix.end(), [&isLetter](QChar c) {
        return isLetter(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('_');
    });
}

QString joinedNames(const QStringList &given)
{
    QStringList names = given;
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

// The format table for the help: LVGL name, dashed name, what it is for,
// the depths LVGL draws it at and what the device needs.
// The v9 table for the help: name, bits per pixel, first release that
// draws it, what it is for.
QString lvgl9Table()
{
    QString text;
    for (int i = 0; i < Lvgl9::formatCount(); ++i) {
        const Lvgl9::Format &f = Lvgl9::formats()[i];
        const QString bits =
            f.bpp ? QString::number(f.bpp) + QStringLiteral(" bit") : QStringLiteral("file");
        text += QLatin1String("  ") + QString::fromLatin1(f.name).leftJustified(24)
            + bits.leftJustified(8) + QString::fromLatin1(f.purpose) + QLatin1Char('\n')
            + QString(34, QLatin1Char(' ')) + QStringLiteral("drawn by: ") + QLatin1String(f.since)
            + QLatin1Char('\n');
    }
    return text;
}

QString formatTable()
{
    QString text;
    for (int i = 0; i < Lvgl8::formatCount(); ++i) {
        const Lvgl8::Format &f = Lvgl8::formats()[i];
        text += QLatin1String("  ") + QString::fromLatin1(f.name).leftJustified(25)
            + QString::fromLatin1(f.dashed).leftJustified(18) + QString::fromLatin1(f.purpose)
            + QLatin1Char('\n');
        QString details = QStringLiteral("drawn at: ") + QLatin1String(f.drawnAt);
        if (*f.needs)
            details += QStringLiteral("; needs ") + QLatin1String(f.needs);
        text += QString(45, QLatin1Char(' ')) + details + QLatin1Char('\n');
    }
    return text;
}

} // namespace

CommandLine::CommandLine()
    : m_formatOption({QStringLiteral("f"), QStringLiteral("format")},
                     tr("Output: c (a C array, the default), bin (a binary image file of the "
                        "colour format -c chooses), or one of the window's binary formats "
                        "bin-rgb332, bin-rgb565, bin-rgb565-swap, bin-rgb888."),
                     tr("format"))
    , m_colorOption({QStringLiteral("c"), QStringLiteral("color-format"), QStringLiteral("cf")},
                    tr("Colour format, by LVGL's name (INDEXED_4BIT, LV_IMG_CF_ALPHA_2BIT, any "
                       "case) or dashed (indexed-4); see the table below. Default: true-color."),
                    tr("format"))
    , m_depthOption(QStringLiteral("depth"),
                    tr("The LV_COLOR_DEPTH a .bin of a true-colour format or of RGB565A8 is "
                       "made for: 8, 16, 16swap (LV_COLOR_16_SWAP) or 32. Default: 16."),
                    tr("depth"))
    , m_lvglOption(QStringLiteral("lvgl"),
                   tr("The LVGL major version to write for: 8 (the default) or 9. v9 has its own "
                      "formats (--cf, see the v9 table below), a 12-byte header with the stride, "
                      "and compression."),
                   tr("version"))
    , m_strideOption(QStringLiteral("stride-align"),
                     tr("v9: round every row up to a multiple of N bytes, a power of two up to "
                        "1024 (for DMA or GPU alignment). Default: 1."),
                     QStringLiteral("N"))
    , m_lvConfOption(QStringLiteral("lv-conf"),
                     tr("The project's lv_conf.h: its settings give the defaults (v8 --depth of a "
                        ".bin, v9 --stride-align) and refuse what the device cannot draw; see "
                        "\"Fitting the device\" below."),
                     QStringLiteral("FILE"))
    , m_lvVersionOption(QStringLiteral("lv-version"),
                        tr("With --lv-conf: the library's lv_version.h, for its release. Default: "
                           "an lv_version.h beside the lv_conf.h; --lvgl wins over both."),
                        QStringLiteral("FILE"))
    , m_premultiplyOption(QStringLiteral("premultiply"),
                          tr("v9: write ARGB8888 as ARGB8888_PREMULTIPLIED (colours multiplied "
                             "by alpha, LVGL 9.3 and later)."))
    , m_compressOption(QStringLiteral("compress"),
                       tr("v9: none (the default), rle or lz4. The device needs "
                          "LV_BIN_DECODER_RAM_LOAD 1 and LV_USE_RLE or LV_USE_LZ4."),
                       tr("method"))
    , m_backgroundOption(QStringLiteral("background"),
                         tr("v9, formats without alpha: draw the image over this colour "
                            "(RRGGBB). Without it, alpha is ignored."),
                         tr("colour"))
    , m_ditherOption(QStringLiteral("dither"),
                     tr("Floyd-Steinberg dithering for every reduction that drops levels: "
                        "RGB332 and RGB565 colours, palettes, alpha levels. Off by default."))
    , m_cropOption(QStringLiteral("crop"),
                   tr("Keep only the rectangle of W x H pixels whose top left corner is at X,Y "
                      "of the decoded image. Transforms run in the order of this list, after "
                      "decoding and before the colour format's reduction."),
                   QStringLiteral("X,Y,W,H"))
    , m_trimOption(QStringLiteral("trim"),
                   tr("Cut away the fully transparent rows and columns at the borders; with -v, "
                      "say how many were cut on each side."))
    , m_rotateOption(QStringLiteral("rotate"),
                     tr("Turn the image 90, 180 or 270 degrees clockwise, for a panel mounted "
                        "rotated."),
                     tr("degrees"))
    , m_flipOption(QStringLiteral("flip"),
                   tr("Mirror the image after any rotation: h left to right, v upside down."),
                   QStringLiteral("h|v"))
    , m_resizeOption(QStringLiteral("resize"),
                     tr("Scale to exactly W x H pixels. With one side left out (240x, x160) the "
                        "other keeps the aspect ratio. Resampled with a Catmull-Rom filter in "
                        "premultiplied alpha."),
                     QStringLiteral("WxH"))
    , m_fitOption(QStringLiteral("fit"),
                  tr("Scale to the largest size inside W x H that keeps the aspect ratio (up or "
                     "down); either side may be left out (240x). The other side is rounded to "
                     "the nearest pixel."),
                  QStringLiteral("WxH"))
    , m_framesOption(QStringLiteral("frames"),
                     tr("Write each input as a frame set for lv_animimg: every frame of a GIF or "
                        "WebP animation (a still image is one frame) in one C file with a "
                        "descriptor per frame, NAME_frames[], NAME_frame_count, NAME_frame_ms[] "
                        "and NAME_duration_ms; with -f bin a folder NAME/ of 000.bin, 001.bin, "
                        "... and frames.txt. Equal neighbours share one array; indexed formats "
                        "share one palette. At most 127 frames."))
    , m_maxFramesOption(QStringLiteral("max-frames"),
                        tr("With --frames: keep N frames (1 to 127) spread evenly, each shown "
                           "for the delays of the frames it stands for."),
                        QStringLiteral("N"))
    , m_gridOption(QStringLiteral("grid"),
                   tr("With --frames: cut a sprite sheet into COLS x ROWS equal frames, left to "
                      "right, top to bottom."),
                   QStringLiteral("COLSxROWS"))
    , m_frameMsOption(QStringLiteral("frame-ms"),
                      tr("With --frames: show every frame for N ms (1 to 600000). Default: an "
                         "animation's own delays (a zero delay as 100 ms), 100 for --grid "
                         "frames and a still image."),
                      QStringLiteral("N"))
    , m_outputOption({QStringLiteral("o"), QStringLiteral("output")},
                     tr("With one input file, the output file (or an existing directory to "
                        "write it into; - for standard output). Otherwise the output directory, "
                        "created if missing. Default: beside each source."),
                     tr("path"))
    , m_previewOption(QStringLiteral("preview"),
                      tr("Also write, as a PNG, what the device will show for each output, "
                         "decoded from the file just written: with one input the PNG (or a "
                         "folder for it, or - for standard output), otherwise a folder that is "
                         "not an input folder; each preview is named after its output "
                         "(logo.c.png) and replaces only an earlier preview. A .bin is shown at "
                         "the depth it was made for, a C array at LV_COLOR_DEPTH 16."),
                      tr("path"))
    , m_nameOption({QStringLiteral("n"), QStringLiteral("name")},
                   tr("C symbol stem for one input file (a C identifier). Default: the output's "
                      "base name."),
                   tr("symbol"))
    , m_symbolPrefixOption(QStringLiteral("symbol-prefix"),
                           tr("Put P before every C symbol stem: the stem becomes P and the "
                              "--name, or P and the output's base name, made a C identifier. P "
                              "starts with a letter and holds letters, digits and '_'."),
                           QStringLiteral("P"))
    , m_includeOption(QStringLiteral("include"),
                      tr("C arrays: how LVGL's header is included. subdir: \"lvgl/lvgl.h\" (the "
                         "default for v8); simple: \"lvgl.h\" (an ESP-IDF project with LVGL "
                         "as a managed component, say); auto: a block that takes \"lvgl.h\" "
                         "where LV_LVGL_H_INCLUDE_SIMPLE is set or the compiler finds it, "
                         "<lvgl.h> with LV_LVGL_H_INCLUDE_SYSTEM, else \"lvgl/lvgl.h\" (the "
                         "default for v9)."),
                      tr("style"))
    , m_sectionOption(QStringLiteral("section"),
                      tr("C arrays and packs: put the image data into this linker section "
                         "(.ext_flash, say), through a per-image attribute macro that the "
                         "project's own headers may define instead. With --pack: the section of "
                         "the blob in NAME_blob.S."),
                      tr("name"))
    , m_alignOption(QStringLiteral("align"),
                    tr("C arrays: align the data to N bytes (a power of two up to 4096) "
                       "through a per-image macro, in place of LV_ATTRIBUTE_MEM_ALIGN. Packs: "
                       "the alignment of every entry's data in the blob (default 4)."),
                    QStringLiteral("N"))
    , m_packOption(QStringLiteral("pack"),
                   tr("Write the whole batch as one asset pack into the -o folder (default: "
                      "the current one): NAME.bin (every image's .bin behind an index), "
                      "NAME.h, NAME.c (descriptors pointing into the blob) and NAME_blob.S "
                      "(which links the blob in with .incbin). NAME is a C identifier."),
                   tr("name"))
    , m_packBindOption(QStringLiteral("pack-bind"),
                       tr("With --pack: the descriptors are bound at run time, by "
                          "NAME_bind(blob, size), to a blob the firmware loads (checked by "
                          "magic, version, size and CRC-32)."))
    , m_dryRunOption(QStringLiteral("dry-run"),
                     tr("Do everything a conversion does but the final writes: decode and "
                        "encode every image, check every target, print \"SOURCE -> OUTPUT\" "
                        "for each output and \"OUTPUT -> PREVIEW\" for each preview, and exit "
                        "as the conversion would."))
    , m_recursiveOption({QStringLiteral("r"), QStringLiteral("recursive")},
                        tr("Also take the images in subdirectories of input directories."))
    , m_jobsOption({QStringLiteral("j"), QStringLiteral("jobs")},
                   tr("Images converted in parallel (at most N decoded at once). Default: the "
                      "number of cores."),
                   QStringLiteral("N"))
    , m_quietOption({QStringLiteral("q"), QStringLiteral("quiet")},
                    tr("No progress line. Failures are still reported."))
    , m_verboseOption({QStringLiteral("v"), QStringLiteral("verbose")},
                      tr("Also show what the decoders said about sources that were converted "
                         "(a damaged ancillary PNG chunk, say), one line per remark."))
    , m_helpOption({QStringLiteral("h"), QStringLiteral("help")}, tr("Show this help and exit."))
    , m_versionOption(QStringLiteral("version"), tr("Show the version and exit."))
    , m_completionOption(QStringLiteral("completion"),
                         tr("Print the completion script for the shell (bash or zsh) and exit."),
                         tr("shell"))
    , m_manPageOption(QStringLiteral("manpage"), tr("Print the manual page (roff) and exit."))
{
    m_parser.setApplicationDescription(
        tr("Converts %1 images into LVGL C arrays (.c) and LVGL binary image files (.bin).")
            .arg(Convert::joinedList(Convert::imageKindNames(false), QStringLiteral(", "),
                                     QStringLiteral(" and "))));
    m_listedOptions = {
        m_formatOption,       m_colorOption,    m_depthOption,      m_ditherOption,
        m_lvglOption,         m_lvConfOption,   m_lvVersionOption,  m_strideOption,
        m_premultiplyOption,  m_compressOption, m_backgroundOption, m_cropOption,
        m_trimOption,         m_rotateOption,   m_flipOption,       m_resizeOption,
        m_fitOption,          m_outputOption,   m_previewOption,    m_nameOption,
        m_symbolPrefixOption, m_includeOption,  m_sectionOption,    m_alignOption,
        m_packOption,         m_packBindOption, m_dryRunOption,     m_recursiveOption,
        m_jobsOption,         m_quietOption,    m_verboseOption,    m_helpOption,
        m_versionOption};
    // The frame-set options follow the transforms.
    for (int i = 0; i < m_listedOptions.size(); ++i) {
        if (m_listedOptions.at(i).names() == m_fitOption.names()) {
            m_listedOptions.insert(i + 1, m_frameMsOption);
            m_listedOptions.insert(i + 1, m_gridOption);
            m_listedOptions.insert(i + 1, m_maxFramesOption);
            m_listedOptions.insert(i + 1, m_framesOption);
            break;
        }
    }
    m_parser.addOptions(m_listedOptions);
    // The build makes the manual page and the completion scripts with these.
    m_completionOption.setFlags(QCommandLineOption::HiddenFromHelp);
    m_manPageOption.setFlags(QCommandLineOption::HiddenFromHelp);
    m_parser.addOptions({m_completionOption, m_manPageOption});
    m_parser.addPositionalArgument(QStringLiteral("INPUT"), inputsDescription(),
                                   QStringLiteral("INPUT..."));
}

CommandLine::Action CommandLine::parse(const QStringList &arguments)
{
    if (!m_parser.parse(arguments))
        return fail(m_parser.errorText());
    if (m_parser.isSet(m_helpOption))
        return Action::ShowHelp;
    if (m_parser.isSet(m_versionOption))
        return Action::ShowVersion;
    if (m_parser.isSet(m_completionOption)) {
        m_completionShell = m_parser.value(m_completionOption);
        if (std::none_of(std::begin(shellNames), std::end(shellNames), [this](const char *shell) {
                return m_completionShell == QLatin1String(shell);
            }))
            return fail(tr("--completion takes bash or zsh, not '%1'").arg(m_completionShell));
        return Action::ShowCompletion;
    }
    if (m_parser.isSet(m_manPageOption))
        return Action::ShowManPage;

    // A value given twice is most likely a mistake in a script; the parser
    // would silently take the last one.
    for (const QCommandLineOption *option :
         {&m_formatOption,   &m_colorOption,      &m_depthOption,        &m_outputOption,
          &m_nameOption,     &m_jobsOption,       &m_lvglOption,         &m_strideOption,
          &m_compressOption, &m_backgroundOption, &m_symbolPrefixOption, &m_previewOption,
          &m_cropOption,     &m_rotateOption,     &m_flipOption,         &m_resizeOption,
          &m_fitOption,      &m_sectionOption,    &m_alignOption,        &m_packOption,
          &m_lvConfOption,   &m_lvVersionOption}) {
        if (m_parser.values(*option).size() > 1) {
            return fail(tr("--%1 is given more than once").arg(option->names().constLast()));
        }
    }

    OutputFormat windowFormat = CArray;
    bool anyBinary = false;
    if (m_parser.isSet(m_formatOption)) {
        const QString name = m_parser.value(m_formatOption);
        const auto it = std::find_if(
            std::begin(outputFormatNames), std::end(outputFormatNames),
            [&name](const OutputFormatName &entry) {
                return name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0;
            });
        if (it == std::end(outputFormatNames)) {
            QStringList names;
            for (const OutputFormatName &entry : outputFormatNames)
                names << QString::fromLatin1(entry.name);
            return fail(
                tr("unknown output format '%1' (expected %2)").arg(name, joinedNames(names)));
        }
        windowFormat = it->format;
        anyBinary = it->anyBinary;
        m_formatName = QString::fromLatin1(it->name);
    }
    m_outputFormat = windowFormat;

    int lvgl = 8;
    if (m_parser.isSet(m_lvglOption)) {
        const QString value = m_parser.value(m_lvglOption);
        if (value != QLatin1String("8") && value != QLatin1String("9"))
            return fail(tr("--lvgl takes 8 or 9, not '%1'").arg(value));
        lvgl = value.toInt();
    }
    // The device's configuration may say the version.
    if (m_parser.isSet(m_lvConfOption)) {
        const QString problem = loadDevice(m_parser.isSet(m_lvglOption) ? lvgl : 0);
        if (!problem.isEmpty())
            return fail(problem);
        lvgl = m_device->major();
    } else if (m_parser.isSet(m_lvVersionOption)) {
        return fail(tr("--lv-version goes with --lv-conf"));
    }
    if (lvgl == 9) {
        const QString problem = parseLvgl9(windowFormat, anyBinary);
        if (!problem.isEmpty())
            return fail(problem);
    } else {
        for (const QCommandLineOption *option :
             {&m_strideOption, &m_premultiplyOption, &m_compressOption, &m_backgroundOption}) {
            if (m_parser.isSet(*option)) {
                return fail(tr("--%1 applies to LVGL v9 output; add --lvgl 9")
                                .arg(option->names().constLast()));
            }
        }
        const QString problem = parseLvgl8(windowFormat, anyBinary);
        if (!problem.isEmpty())
            return fail(problem);
    }

    if (m_device) {
        const QString problem = fitDevice();
        if (!problem.isEmpty())
            return fail(problem);
    }

    const QString transformError = parseTransforms();
    if (!transformError.isEmpty())
        return fail(transformError);
    const QString framesError = parseFrames();
    if (!framesError.isEmpty())
        return fail(framesError);

    if (m_parser.isSet(m_outputOption)) {
        m_outputPath = m_parser.value(m_outputOption);
        if (m_outputPath.isEmpty())
            return fail(tr("the output path is empty"));
    }

    if (m_parser.isSet(m_previewOption)) {
        m_previewPath = m_parser.value(m_previewOption);
        if (m_previewPath.isEmpty())
            return fail(tr("the preview path is empty"));
    }

    if (m_parser.isSet(m_symbolPrefixOption)) {
        m_symbolPrefix = m_parser.value(m_symbolPrefixOption);
        if (m_spec.binary)
            return fail(tr("--symbol-prefix applies to C arrays only (-f c)"));
        if (!isPrefixText(m_symbolPrefix)) {
            return fail(tr("--symbol-prefix: '%1' is not a prefix of C symbols: it must start "
                           "with a letter, then hold letters, digits or '_'")
                            .arg(m_symbolPrefix));
        }
    }
    if (m_parser.isSet(m_nameOption)) {
        m_symbol = m_parser.value(m_nameOption);
        if (m_spec.binary)
            return fail(tr("--name applies to C arrays only (-f c)"));
        // The symbol the file defines is the prefix and the name joined.
        const QString problem = symbolProblem(m_symbolPrefix + m_symbol);
        if (!problem.isEmpty()) {
            return fail(m_symbolPrefix.isEmpty()
                            ? tr("--name: %1").arg(problem)
                            : tr("--symbol-prefix and --name: %1").arg(problem));
        }
    }
    if (m_parser.isSet(m_includeOption)) {
        const QString value = m_parser.value(m_includeOption);
        const auto it =
            std::find_if(std::begin(includeNames), std::end(includeNames),
                         [&value](const char *name) { return value == QLatin1String(name); });
        if (it == std::end(includeNames))
            return fail(tr("--include takes auto, subdir or simple, not '%1'").arg(value));
        if (m_spec.binary)
            return fail(tr("--include applies to C arrays only (-f c): a .bin includes nothing"));
        m_spec.include = IncludeStyle(it - std::begin(includeNames));
    }
    const QString placementError = parsePlacement();
    if (!placementError.isEmpty())
        return fail(placementError);
    m_dryRun = m_parser.isSet(m_dryRunOption);

    m_jobs = qMax(1, QThread::idealThreadCount());
    if (m_parser.isSet(m_jobsOption)) {
        const QString value = m_parser.value(m_jobsOption);
        bool ok = false;
        m_jobs = value.toInt(&ok);
        if (!ok || m_jobs < 1)
            return fail(tr("--jobs needs a whole number of at least 1, not '%1'").arg(value));
    }

    m_recursive = m_parser.isSet(m_recursiveOption);
    m_quiet = m_parser.isSet(m_quietOption);
    m_verbose = m_parser.isSet(m_verboseOption);
    m_inputs = m_parser.positionalArguments();
    if (m_inputs.isEmpty())
        return fail(tr("no input given"));
    if (m_inputs.contains(QString()))
        return fail(tr("an input path is empty"));
    return Action::Convert;
}

QString CommandLine::parseLvgl8(OutputFormat windowFormat, bool anyBinary)
{
    m_spec = outputPlan(windowFormat, TrueColor);
    if (m_parser.isSet(m_colorOption)) {
        const QString name = m_parser.value(m_colorOption);
        // The window's binary formats fix their colour format already.
        if (isBinary(windowFormat))
            return (tr("--color-format applies to C arrays and -f bin only"));
        const auto window = std::find_if(
            std::begin(colorFormatNames), std::end(colorFormatNames),
            [&name](const ColorFormatName &entry) { return name == QLatin1String(entry.name); });
        if (window != std::end(colorFormatNames)) {
            m_colorFormat = window->format;
            m_spec = outputPlan(CArray, window->format);
        } else if (const Lvgl8::Format *format = Lvgl8::findFormat(name)) {
            m_spec = OutputPlan();
            m_spec.row = format;
        } else if (const Lvgl9::Format *v9 = Lvgl9::findFormat(name)) {
            return tr("%1 is an LVGL v9 format; add --lvgl 9").arg(QLatin1String(v9->name));
        } else {
            return (tr("unknown color format '%1' (expected a name of the table in "
                       "--help, such as TRUE_COLOR_ALPHA, INDEXED_4BIT or alpha-2)")
                        .arg(name));
        }
    }
    m_spec.binary = m_spec.binary || anyBinary;
    if (anyBinary && m_spec.quantizer == QuantizerKind::Toolkit) {
        // indexed-256 names the window's C array; its .bin is INDEXED_8BIT.
        return (tr("indexed-256 is the window's C array; use -c INDEXED_8BIT with -f bin"));
    }

    if (m_parser.isSet(m_depthOption)) {
        const QString value = m_parser.value(m_depthOption);
        int depth = 0;
        while (depth < ColorDepthCount
               && value.compare(depthName(ColorDepth(depth)), Qt::CaseInsensitive) != 0)
            ++depth;
        if (depth == ColorDepthCount)
            return (tr("--depth takes 8, 16, 16swap or 32, not '%1'").arg(value));
        if (!anyBinary) {
            return (isBinary(windowFormat)
                        ? tr("--depth does not apply to -f %1, whose depth is fixed; use -f bin")
                              .arg(m_parser.value(m_formatOption))
                        : tr("--depth applies to binary files (-f bin); a C array holds every "
                             "depth"));
        }
        if (!Lvgl8::dependsOnDepth(*m_spec.format())) {
            return (tr("--depth applies to true-colour formats and RGB565A8 only; a .bin of "
                       "%1 is the same at every depth")
                        .arg(QLatin1String(m_spec.format()->name)));
        }
        m_spec.depth = ColorDepth(depth);
    }
    m_spec.dither = m_parser.isSet(m_ditherOption);
    if (m_spec.dither && m_spec.format()->layout == Lvgl8::Layout::Raw)
        return rawRefusal(QLatin1String(m_spec.format()->name), QStringLiteral("--dither"));
    const QString problem = specProblem(m_spec);
    if (!problem.isEmpty())
        return (problem);

    return QString();
}

QString CommandLine::parseLvgl9(OutputFormat windowFormat, bool anyBinary)
{
    if (isBinary(windowFormat)) {
        return tr("-f %1 is an LVGL v8 file; for v9 use -f bin with --cf (RGB565, "
                  "RGB565_SWAPPED, RGB888, ARGB8888...)")
            .arg(m_parser.value(m_formatOption));
    }
    if (m_parser.isSet(m_depthOption)) {
        return tr("v9 formats carry their own depth: choose it with --cf (RGB565, "
                  "RGB565_SWAPPED, RGB888, XRGB8888, ARGB8888...), not --depth");
    }
    m_spec = OutputPlan();
    m_spec.row = Lvgl9::findFormat(QStringLiteral("ARGB8888"));
    m_spec.binary = anyBinary;
    if (m_parser.isSet(m_colorOption)) {
        const QString name = m_parser.value(m_colorOption);
        m_spec.row = Lvgl9::findFormat(name);
        if (!m_spec.format9()) {
            const QString instead = lvgl9Alternative(name);
            if (!instead.isEmpty())
                return instead;
            return tr("unknown v9 color format '%1' (expected a name of the v9 table in --help, "
                      "such as RGB565, ARGB8888, I4 or A8)")
                .arg(name);
        }
    }
    if (m_parser.isSet(m_premultiplyOption)) {
        if (m_spec.format9()->layout != Lvgl9::Layout::Argb8888
            && m_spec.format9()->layout != Lvgl9::Layout::Argb8888Premultiplied) {
            return tr("--premultiply applies to ARGB8888 only: LVGL blends premultiplied colours "
                      "only as ARGB8888_PREMULTIPLIED, and ignores the flag on other formats");
        }
        m_spec.row = Lvgl9::findFormat(QStringLiteral("ARGB8888_PREMULTIPLIED"));
    }
    if (m_parser.isSet(m_strideOption)) {
        const QString value = m_parser.value(m_strideOption);
        bool ok = false;
        const int align = value.toInt(&ok);
        if (!ok || align < 1 || align > 1024 || (align & (align - 1)) != 0)
            return tr("--stride-align takes a power of two up to 1024, not '%1'").arg(value);
        m_spec.strideAlign = align;
    }
    if (m_parser.isSet(m_compressOption)) {
        const QString value = m_parser.value(m_compressOption).toLower();
        if (value == QLatin1String("none"))
            m_spec.compression = Lvgl9::Compression::None;
        else if (value == QLatin1String("rle"))
            m_spec.compression = Lvgl9::Compression::Rle;
        else if (value == QLatin1String("lz4"))
            m_spec.compression = Lvgl9::Compression::Lz4;
        else
            return tr("--compress takes none, rle or lz4, not '%1'")
                .arg(m_parser.value(m_compressOption));
    }
    if (m_parser.isSet(m_backgroundOption)) {
        QString value = m_parser.value(m_backgroundOption);
        if (value.startsWith(QLatin1Char('#')))
            value.remove(0, 1);
        else if (value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            value.remove(0, 2);
        bool ok = false;
        const uint rgb = value.toUInt(&ok, 16);
        if (!ok || value.size() != 6)
            return tr("--background takes a colour as RRGGBB, not '%1'")
                .arg(m_parser.value(m_backgroundOption));
        m_spec.hasBackground = true;
        m_spec.background = qRgb(int(rgb >> 16) & 0xff, int(rgb >> 8) & 0xff, int(rgb) & 0xff);
    }
    m_spec.dither = m_parser.isSet(m_ditherOption);
    if (m_spec.format9()->layout == Lvgl9::Layout::Raw) {
        const QString name = QLatin1String(m_spec.format9()->name);
        if (m_parser.isSet(m_backgroundOption))
            return rawRefusal(name, QStringLiteral("--background"));
        if (m_parser.isSet(m_strideOption))
            return rawRefusal(name, QStringLiteral("--stride-align"));
        if (m_spec.dither)
            return rawRefusal(name, QStringLiteral("--dither"));
    }
    return specProblem(m_spec);
}

QString CommandLine::parseTransforms()
{
    m_transforms = TransformPlan();
    if (m_parser.isSet(m_resizeOption) && m_parser.isSet(m_fitOption))
        return tr("--resize and --fit both set the size; give one of them");
    QString problem;
    if (m_parser.isSet(m_cropOption))
        problem = TransformPlan::parseCrop(m_parser.value(m_cropOption), &m_transforms);
    if (problem.isEmpty() && m_parser.isSet(m_rotateOption))
        problem = TransformPlan::parseRotation(m_parser.value(m_rotateOption), &m_transforms);
    if (problem.isEmpty() && m_parser.isSet(m_flipOption))
        problem = TransformPlan::parseFlip(m_parser.value(m_flipOption), &m_transforms);
    for (const QCommandLineOption *option : {&m_resizeOption, &m_fitOption}) {
        if (problem.isEmpty() && m_parser.isSet(*option))
            problem = TransformPlan::parseScaling(option->names().constFirst(),
                                                  m_parser.value(*option), &m_transforms);
    }
    if (!problem.isEmpty())
        return problem;
    m_transforms.trim = m_parser.isSet(m_trimOption);
    return transformProblem(m_spec, m_transforms);
}

QString CommandLine::parsePlacement()
{
    m_packName.clear();
    m_packBind = m_parser.isSet(m_packBindOption);
    m_packAlign = 4;
    const bool pack = m_parser.isSet(m_packOption);
    if (m_packBind && !pack)
        return tr("--pack-bind applies to asset packs; add --pack NAME");
    if (m_parser.isSet(m_sectionOption)) {
        const QString section = m_parser.value(m_sectionOption);
        const QString problem = Placement::sectionProblem(section);
        if (!problem.isEmpty())
            return tr("--section: %1").arg(problem);
        if (m_spec.binary && !pack)
            return tr("--section applies to C arrays and packs; a .bin has no linker section");
        m_spec.placement.section = section.toLatin1();
    }
    if (m_parser.isSet(m_alignOption)) {
        const QString value = m_parser.value(m_alignOption);
        bool ok = false;
        const int align = value.toInt(&ok);
        if (!ok || !Placement::isAlignment(align))
            return tr("--align takes a power of two from 1 to %1, not '%2'")
                .arg(QString::number(Placement::MaxAlign), value);
        if (m_spec.binary && !pack)
            return tr("--align applies to C arrays and packs; a .bin is read as it is");
        if (pack)
            m_packAlign = align;
        else
            m_spec.placement.align = align;
    }
    if (!pack)
        return QString();

    m_packName = m_parser.value(m_packOption);
    const QString problem = symbolProblem(m_packName);
    if (!problem.isEmpty())
        return tr("--pack: %1").arg(problem);
    if (m_spec.isRaw()) {
        return tr("--pack holds .bin images; %1 embeds the source file for the library's own "
                  "decoder and has no .bin")
            .arg(
                QLatin1String(m_spec.lvgl() == 9 ? m_spec.format9()->name : m_spec.format()->name));
    }
    if (m_frames)
        return tr("--frames does not apply to --pack: a pack holds one image per entry");
    for (const QCommandLineOption *option :
         {&m_nameOption, &m_symbolPrefixOption, &m_includeOption, &m_previewOption}) {
        if (m_parser.isSet(*option))
            return tr("--%1 does not apply to --pack").arg(option->names().constLast());
    }
    if (m_parser.value(m_outputOption) == QLatin1String("-"))
        return tr("--pack writes four files into a folder, not to standard output");
    // Every entry is the image's .bin.
    m_spec.binary = true;
    return specProblem(m_spec);
}

QString CommandLine::parseFrames()
{
    m_frames = m_parser.isSet(m_framesOption);
    m_framePlan = FramePlan();
    for (const QCommandLineOption *option : {&m_maxFramesOption, &m_gridOption, &m_frameMsOption}) {
        const QString name = option->names().constFirst();
        if (m_parser.values(*option).size() > 1)
            return tr("--%1 is given more than once").arg(name);
        if (m_parser.isSet(*option) && !m_frames)
            return tr("--%1 applies to frame sets; add --frames").arg(name);
    }
    if (!m_frames)
        return QString();
    if (m_spec.isRaw()) {
        return tr("--frames converts the pixels of each frame, but %1 embeds the file as it is")
            .arg(QLatin1String(OutputVersion::of(m_spec).formatName(m_spec)));
    }
    if (m_parser.isSet(m_previewOption))
        return tr("--preview shows one image; it does not apply to --frames");
    const auto number = [this](const QCommandLineOption &option, int most, int *value) {
        bool ok = false;
        *value = m_parser.value(option).toInt(&ok);
        return ok && *value >= 1 && *value <= most;
    };
    if (m_parser.isSet(m_maxFramesOption)
        && !number(m_maxFramesOption, FrameSet::MaxFrames, &m_framePlan.maxFrames)) {
        return tr("--max-frames takes a whole number from 1 to %1 (lv_animimg's limit), not "
                  "'%2'")
            .arg(QString::number(FrameSet::MaxFrames), m_parser.value(m_maxFramesOption));
    }
    if (m_parser.isSet(m_frameMsOption) && !number(m_frameMsOption, 600000, &m_framePlan.frameMs)) {
        return tr("--frame-ms takes a whole number of milliseconds from 1 to 600000, not '%1'")
            .arg(m_parser.value(m_frameMsOption));
    }
    if (m_parser.isSet(m_gridOption)) {
        const QString value = m_parser.value(m_gridOption);
        static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,4})x([0-9]{1,4})$"));
        const QRegularExpressionMatch match = pattern.match(value);
        const QSize grid = match.hasMatch()
            ? QSize(match.captured(1).toInt(), match.captured(2).toInt())
            : QSize();
        if (grid.isEmpty())
            return tr("--grid takes COLSxROWS, two whole numbers of at least 1 (4x2), not '%1'")
                .arg(value);
        m_framePlan.grid = grid;
    }
    return QString();
}

// What to say about an option that cannot change a RAW image: it embeds
// the source file, which the device's own decoder draws.
QString CommandLine::rawRefusal(const QString &format, const QString &option)
{
    return tr("%1 embeds the source file as it is, for the library's own decoder: %2 does not "
              "apply")
        .arg(format, option);
}

// What to say when a v8 name is given for v9 output.
QString CommandLine::lvgl9Alternative(const QString &name)
{
    const Lvgl8::Format *v8 = Lvgl8::findFormat(name);
    if (!v8 && name != QLatin1String("indexed-256"))
        return QString();
    if (name == QLatin1String("indexed-256"))
        return tr("indexed-256 is the window's v8 format; for v9 use --cf I8");
    switch (v8->layout) {
    case Lvgl8::Layout::TrueColor:
        if (v8->cf == 6)
            return tr("v9 has no chroma key; use an alpha format (ARGB8888, ARGB8565, RGB565A8, "
                      "AL88)");
        return tr("v9 has no %1; use RGB565, RGB565_SWAPPED, RGB888 or XRGB8888")
            .arg(QLatin1String(v8->name));
    case Lvgl8::Layout::TrueColorAlpha:
        return tr("v9 has no %1; use ARGB8888, ARGB8565 or RGB565A8").arg(QLatin1String(v8->name));
    case Lvgl8::Layout::Indexed:
        return tr("v9 names %1 I%2").arg(QLatin1String(v8->name), QString::number(v8->bits));
    case Lvgl8::Layout::Alpha:
        return tr("v9 names %1 A%2").arg(QLatin1String(v8->name), QString::number(v8->bits));
    default:
        return QString();
    }
}

// The usage line and the parser's own list of the options.
QString CommandLine::helpHead() const
{
    QString options = m_parser.helpText();
    options.remove(0, options.indexOf(QLatin1Char('\n')) + 1);
    return tr("Usage: brindleforge-cli [options] INPUT...\n"
              "       brindleforge-cli inspect [options] FILE...   (see inspect --help)\n")
        + options + QLatin1Char('\n');
}

QString CommandLine::helpText() const
{
    // QCommandLineParser's own text gives the description, the options and
    // the arguments (its usage line would show the whole path the program
    // was started by); the rest explains the values and the exit codes and
    // shows the window's names for the formats.
    return helpHead()
        + tr("Output formats (-f):\n"
             "  c                 C array (the default)\n"
             "  bin               binary image file of the colour format -c chooses\n"
             "  bin-rgb332        Binary RGB332: TRUE_COLOR_ALPHA at --depth 8\n"
             "  bin-rgb565        Binary RGB565: TRUE_COLOR_ALPHA at --depth 16\n"
             "  bin-rgb565-swap   Binary RGB565 Swap: TRUE_COLOR_ALPHA at --depth 16swap\n"
             "  bin-rgb888        Binary RGB888: TRUE_COLOR_ALPHA at --depth 32\n"
             "\n"
             "Colour formats (-c), by LVGL's name (LV_IMG_CF_ may precede it) or dashed:\n")
        + formatTable()
        + tr("  indexed-256 is the window's \"Indexed 256 colors\": INDEXED_8BIT with Qt's own\n"
             "  reduction; every other indexed format gets an exact palette when the image has\n"
             "  few enough colours, and libimagequant's otherwise. The window's names\n"
             "  true-color (\"True color\", the default), true-color-alpha (\"True color with\n"
             "  alpha\") and chroma-keyed (\"True color chroma keyed\") are in the table.\n"
             "\n"
             "LVGL v9 colour formats (--lvgl 9 --cf NAME; LV_COLOR_FORMAT_ may precede it; the\n"
             "default is ARGB8888), bits per pixel, what it is for and the first release that\n"
             "draws it:\n")
        + lvgl9Table()
        + tr("  An uncompressed .bin of L8, AL88 or ARGB8888_PREMULTIPLIED does not open in\n"
             "  LVGL 9.5: use a C array or --compress. I1 to I8 and A1 to A4 are widened at\n"
             "  load in 9.5, which costs RAM there.\n")
        + tr("\n"
             "Each output is named after its source: the base name (up to the first dot),\n"
             "then \".c\" or \".bin\". Two inputs that would write the same output are refused.\n"
             "An output is written to a temporary file first and renamed over the target\n"
             "only when complete, so a failed conversion leaves an existing file untouched.\n"
             "\n"
             "brindleforge-cli inspect reads LVGL image files (.bin or C, v8 or v9) back: what\n"
             "they hold, whether they are consistent, and what the device will show.\n"
             "\n"
             "Transforms run in this order: --crop, --trim, --rotate, --flip, then --resize\n"
             "or --fit. A crop that reaches outside an image, or a trim of an image with no\n"
             "visible pixel, fails that image. With transforms, --dry-run lists the final\n"
             "size of each output. RAW formats take no transform.\n"
             "\n")
        + deviceHelpText()
        + tr("Exit status:\n"
             "  0  every output was written\n"
             "  1  some conversions failed (one line each on stderr); the others were written\n"
             "  2  usage error; nothing was written\n"
             "\n"
             "Examples:\n"
             "  brindleforge-cli logo.png\n"
             "      Writes logo.c beside logo.png: \"C array\", \"True color\".\n"
             "  brindleforge-cli -c true-color-alpha -n app_logo -o src/app_logo.c logo.png\n"
             "      \"True color with alpha\", with the symbols app_logo and app_logo_map.\n"
             "  brindleforge-cli -c indexed-256 -o build/img icons/\n"
             "      \"Indexed 256 colors\" for each image in icons/, into build/img/.\n"
             "  brindleforge-cli -f bin-rgb565-swap -r -j 2 -o fs/img assets/\n"
             "      \"Binary RGB565 Swap\" for every image under assets/, two at a time.\n"
             "  brindleforge-cli -c INDEXED_4BIT --dither -o src/ui icons/\n"
             "      16-colour C arrays, dithered.\n"
             "  brindleforge-cli -f bin -c ALPHA_4BIT glyph.png\n"
             "      glyph.bin: 16 levels of alpha, drawn in the image recolour.\n"
             "  brindleforge-cli -c RAW_ALPHA photo.png\n"
             "      The PNG file itself in a C array, for LV_USE_PNG.\n"
             "  brindleforge-cli --lvgl 9 --cf RGB565 --stride-align 4 -f bin -o fs/ assets/\n"
             "      v9 .bin files, rows aligned to 4 bytes.\n"
             "  brindleforge-cli --lvgl 9 --cf I4 --compress lz4 --dither logo.png\n"
             "      A v9 C array of 16 colours, dithered, LZ4-compressed.\n"
             "  brindleforge-cli --rotate 90 --fit 480x320 -f bin-rgb565 photo.jpg\n"
             "      The photo turned for a panel mounted on its side, scaled to fit 480 x 320.\n"
             "  brindleforge-cli --trim --resize 48x48 -c ALPHA_4BIT -o src/icons icons/\n"
             "      Each icon without its transparent border, at 48 x 48 pixels.\n");
}

QString CommandLine::detailsText() const
{
    return helpText().mid(helpHead().size());
}

QString CommandLine::description() const
{
    return m_parser.applicationDescription();
}

QString CommandLine::inputsDescription()
{
    return tr("Image files, or directories whose %1 files are converted.")
        .arg(Convert::joinedList(Convert::imageSuffixes(), QStringLiteral(", "),
                                 QStringLiteral(" and ")));
}

QStringList CommandLine::valueChoices(const QCommandLineOption &option, int lvgl) const
{
    const auto is = [&option](const QCommandLineOption &other) {
        return option.names() == other.names();
    };
    QStringList values;
    if (is(m_formatOption)) {
        // v9 writes a C array or the .bin of its --cf only.
        for (const OutputFormatName &entry : outputFormatNames) {
            if (lvgl == 8 || entry.format == CArray)
                values << QString::fromLatin1(entry.name);
        }
    } else if (is(m_colorOption) && lvgl == 9) {
        for (int i = 0; i < Lvgl9::formatCount(); ++i)
            values << QString::fromLatin1(Lvgl9::formats()[i].name);
    } else if (is(m_colorOption)) {
        for (const ColorFormatName &entry : colorFormatNames)
            values << QString::fromLatin1(entry.name);
        for (int i = 0; i < Lvgl8::formatCount(); ++i)
            values << QString::fromLatin1(Lvgl8::formats()[i].name);
        for (int i = 0; i < Lvgl8::formatCount(); ++i)
            values << QString::fromLatin1(Lvgl8::formats()[i].dashed);
        values.removeDuplicates();
    } else if (is(m_depthOption)) {
        for (int depth = 0; depth < ColorDepthCount; ++depth)
            values << depthName(ColorDepth(depth));
    } else if (is(m_lvglOption)) {
        values << QStringLiteral("8") << QStringLiteral("9");
    } else if (is(m_includeOption)) {
        for (const char *name : includeNames)
            values << QString::fromLatin1(name);
    } else if (is(m_rotateOption)) {
        values << QStringLiteral("90") << QStringLiteral("180") << QStringLiteral("270");
    } else if (is(m_flipOption)) {
        values << QStringLiteral("h") << QStringLiteral("v");
    } else if (is(m_compressOption)) {
        values << QStringLiteral("none") << QStringLiteral("rle") << QStringLiteral("lz4");
    } else if (is(m_completionOption)) {
        for (const char *name : shellNames)
            values << QString::fromLatin1(name);
    }
    return values;
}

bool CommandLine::takesPath(const QCommandLineOption &option) const
{
    return option.names() == m_outputOption.names() || option.names() == m_previewOption.names()
        || option.names() == m_lvConfOption.names() || option.names() == m_lvVersionOption.names();
}

QString CommandLine::versionText()
{
    return QStringLiteral("brindleforge-cli " BRINDLEFORGE_VERSION "\n");
}

CommandLine::Action CommandLine::fail(const QString &error)
{
    m_error = error;
    return Action::UsageError;
}
