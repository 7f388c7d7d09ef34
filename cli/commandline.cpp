#include "commandline.h"

#include <buildconfig.h>
#include <csymbol.h>

#include <QThread>

#include <algorithm>
#include <iterator>

using namespace Convert;

namespace {

struct OutputFormatName
{
    const char *name;
    OutputFormat format;
};

struct ColorFormatName
{
    const char *name;
    ColorFormat format;
};

// The option values, in the order of the window's format boxes.
const OutputFormatName outputFormatNames[] = {
    {"c", CArray},
    {"bin-rgb332", BinaryRgb332},
    {"bin-rgb565", BinaryRgb565},
    {"bin-rgb565-swap", BinaryRgb565Swap},
    {"bin-rgb888", BinaryRgb888},
};

const ColorFormatName colorFormatNames[] = {
    {"true-color", TrueColor},
    {"true-color-alpha", TrueColorAlpha},
    {"chroma-keyed", TrueColorChromaKeyed},
    {"indexed-256", Indexed256},
};

template<typename Table> QString joinedNames(const Table &table)
{
    QStringList names;
    for (const auto &entry : table)
        names << QString::fromLatin1(entry.name);
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

template<typename Table, typename Format>
bool lookUp(const Table &table, const QString &name, Format *format)
{
    const auto it = std::find_if(std::begin(table), std::end(table), [&name](const auto &entry) {
        return name == QLatin1String(entry.name);
    });
    if (it == std::end(table))
        return false;
    *format = it->format;
    return true;
}

// "  name              Display name" lines for the help; the first entry is
// the default.
template<typename Table> QString nameTable(const Table &table, const QString &defaultMark)
{
    QString text;
    for (const auto &entry : table) {
        text += QLatin1String("  ") + QString::fromLatin1(entry.name).leftJustified(18)
            + displayName(entry.format) + (&entry == table ? defaultMark : QString())
            + QLatin1Char('\n');
    }
    return text;
}

} // namespace

CommandLine::CommandLine()
    : m_formatOption({QStringLiteral("f"), QStringLiteral("format")},
                     tr("Output format (see below). Default: c."), tr("format"))
    , m_colorOption({QStringLiteral("c"), QStringLiteral("color-format")},
                    tr("Color format of a C array (see below). Default: true-color."), tr("format"))
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
    m_parser.addOptions({m_formatOption, m_colorOption, m_outputOption, m_nameOption,
                         m_recursiveOption, m_jobsOption, m_quietOption, m_verboseOption,
                         m_helpOption, m_versionOption});
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
    for (const QCommandLineOption *option :
         {&m_formatOption, &m_colorOption, &m_outputOption, &m_nameOption, &m_jobsOption}) {
        if (m_parser.values(*option).size() > 1) {
            return fail(tr("--%1 is given more than once").arg(option->names().constLast()));
        }
    }

    if (m_parser.isSet(m_formatOption)) {
        const QString name = m_parser.value(m_formatOption);
        if (!lookUp(outputFormatNames, name, &m_outputFormat)) {
            return fail(tr("unknown output format '%1' (expected %2)")
                            .arg(name, joinedNames(outputFormatNames)));
        }
    }
    if (m_parser.isSet(m_colorOption)) {
        const QString name = m_parser.value(m_colorOption);
        if (!lookUp(colorFormatNames, name, &m_colorFormat)) {
            return fail(tr("unknown color format '%1' (expected %2)")
                            .arg(name, joinedNames(colorFormatNames)));
        }
        // Binary files have no colour format; accepting one would silently
        // do nothing.
        if (isBinary(m_outputFormat))
            return fail(tr("--color-format applies to C arrays only (-f c)"));
    }

    if (m_parser.isSet(m_outputOption)) {
        m_outputPath = m_parser.value(m_outputOption);
        if (m_outputPath.isEmpty())
            return fail(tr("the output path is empty"));
    }

    if (m_parser.isSet(m_nameOption)) {
        m_symbol = m_parser.value(m_nameOption);
        if (isBinary(m_outputFormat))
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
    const QString defaultMark = tr(" (the default)");
    return tr("Usage: brindleforge-cli [options] INPUT...\n") + options + QLatin1Char('\n')
        + tr("Output formats (-f):\n") + nameTable(outputFormatNames, defaultMark)
        + QLatin1Char('\n') + tr("Color formats of C arrays (-c):\n")
        + nameTable(colorFormatNames, defaultMark)
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
             "      \"Binary RGB565 Swap\" for every image under assets/, two at a time.\n");
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
