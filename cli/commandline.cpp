#include "commandline.h"

#include <buildconfig.h>
#include <csymbol.h>

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

const char *const depthNames[] = {"8", "16", "16swap", "32"};

QString joinedNames(const QStringList &given)
{
    QStringList names = given;
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

// The format table for the help: LVGL name, dashed name, what it is for,
// the depths LVGL draws it at and what the device needs.
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
    , m_ditherOption(QStringLiteral("dither"),
                     tr("Floyd-Steinberg dithering for every reduction that drops levels: "
                        "RGB332 and RGB565 colours, palettes, alpha levels. Off by default."))
    , m_outputOption({QStringLiteral("o"), QStringLiteral("output")},
                     tr("With one input file, the output file (or an existing directory to "
                        "write it into). Otherwise the output directory, created if missing. "
                        "Default: beside each source."),
                     tr("path"))
    , m_nameOption({QStringLiteral("n"), QStringLiteral("name")},
                   tr("C symbol stem for one input file (a C identifier). Default: the output's "
                      "base name."),
                   tr("symbol"))
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
{
    m_parser.setApplicationDescription(
        tr("Converts PNG, JPEG and BMP images into LVGL C arrays (.c) and LVGL binary image "
           "files (.bin)."));
    m_parser.addOptions({m_formatOption, m_colorOption, m_depthOption, m_ditherOption,
                         m_outputOption, m_nameOption, m_recursiveOption, m_jobsOption,
                         m_quietOption, m_verboseOption, m_helpOption, m_versionOption});
    m_parser.addPositionalArgument(
        QStringLiteral("INPUT"),
        tr("Image files, or directories whose bmp, jpg, jpeg and png files are converted."),
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

    // A value given twice is most likely a mistake in a script; the parser
    // would silently take the last one.
    for (const QCommandLineOption *option : {&m_formatOption, &m_colorOption, &m_depthOption,
                                             &m_outputOption, &m_nameOption, &m_jobsOption}) {
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
            [&name](const OutputFormatName &entry) { return name == QLatin1String(entry.name); });
        if (it == std::end(outputFormatNames)) {
            QStringList names;
            for (const OutputFormatName &entry : outputFormatNames)
                names << QString::fromLatin1(entry.name);
            return fail(
                tr("unknown output format '%1' (expected %2)").arg(name, joinedNames(names)));
        }
        windowFormat = it->format;
        anyBinary = it->anyBinary;
    }
    m_outputFormat = windowFormat;

    m_spec = outputSpec(windowFormat, TrueColor);
    if (m_parser.isSet(m_colorOption)) {
        const QString name = m_parser.value(m_colorOption);
        // The window's binary formats fix their colour format already.
        if (isBinary(windowFormat))
            return fail(tr("--color-format applies to C arrays and -f bin only"));
        const auto window = std::find_if(
            std::begin(colorFormatNames), std::end(colorFormatNames),
            [&name](const ColorFormatName &entry) { return name == QLatin1String(entry.name); });
        if (window != std::end(colorFormatNames)) {
            m_colorFormat = window->format;
            m_spec = outputSpec(CArray, window->format);
        } else if (const Lvgl8::Format *format = Lvgl8::findFormat(name)) {
            m_spec = OutputSpec();
            m_spec.format = format;
        } else {
            return fail(tr("unknown color format '%1' (expected a name of the table in "
                           "--help, such as TRUE_COLOR_ALPHA, INDEXED_4BIT or alpha-2)")
                            .arg(name));
        }
    }
    m_spec.binary = m_spec.binary || anyBinary;
    if (anyBinary && m_spec.quantizer == QuantizerKind::Toolkit) {
        // indexed-256 names the window's C array; its .bin is INDEXED_8BIT.
        return fail(tr("indexed-256 is the window's C array; use -c INDEXED_8BIT with -f bin"));
    }

    if (m_parser.isSet(m_depthOption)) {
        const QString value = m_parser.value(m_depthOption);
        const auto it =
            std::find_if(std::begin(depthNames), std::end(depthNames), [&value](const char *name) {
                return value.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
            });
        if (it == std::end(depthNames))
            return fail(tr("--depth takes 8, 16, 16swap or 32, not '%1'").arg(value));
        if (!anyBinary) {
            return fail(
                isBinary(windowFormat)
                    ? tr("--depth does not apply to -f %1, whose depth is fixed; use -f bin")
                          .arg(m_parser.value(m_formatOption))
                    : tr("--depth applies to binary files (-f bin); a C array holds every "
                         "depth"));
        }
        if (!Lvgl8::dependsOnDepth(*m_spec.format)) {
            return fail(tr("--depth applies to true-colour formats and RGB565A8 only; a .bin of "
                           "%1 is the same at every depth")
                            .arg(QLatin1String(m_spec.format->name)));
        }
        m_spec.depth = ColorDepth(it - std::begin(depthNames));
    }
    m_spec.dither = m_parser.isSet(m_ditherOption);
    const QString problem = specProblem(m_spec);
    if (!problem.isEmpty())
        return fail(problem);

    if (m_parser.isSet(m_outputOption)) {
        m_outputPath = m_parser.value(m_outputOption);
        if (m_outputPath.isEmpty())
            return fail(tr("the output path is empty"));
    }

    if (m_parser.isSet(m_nameOption)) {
        m_symbol = m_parser.value(m_nameOption);
        if (m_spec.binary)
            return fail(tr("--name applies to C arrays only (-f c)"));
        const QString problem = symbolProblem(m_symbol);
        if (!problem.isEmpty())
            return fail(tr("--name: %1").arg(problem));
    }

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

QString CommandLine::helpText() const
{
    // QCommandLineParser's own text gives the description, the options and
    // the arguments (its usage line would show the whole path the program
    // was started by); the rest explains the values and the exit codes and
    // shows the window's names for the formats.
    QString options = m_parser.helpText();
    options.remove(0, options.indexOf(QLatin1Char('\n')) + 1);
    return tr("Usage: brindleforge-cli [options] INPUT...\n") + options + QLatin1Char('\n')
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
             "  alpha\") and chroma-keyed (\"True color chroma keyed\") are in the table.\n")
        + tr("\n"
             "Each output is named after its source: the base name (up to the first dot),\n"
             "then \".c\" or \".bin\". Two inputs that would write the same output are refused.\n"
             "An output is written to a temporary file first and renamed over the target\n"
             "only when complete, so a failed conversion leaves an existing file untouched.\n"
             "\n"
             "Exit status:\n"
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
             "      The PNG file itself in a C array, for LV_USE_PNG.\n");
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
