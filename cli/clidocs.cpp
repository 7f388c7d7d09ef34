#include "clidocs.h"

#include "commandline.h"
#include "infooptions.h"

#include <buildconfig.h>
#include <imagekinds.h>

#include <QCommandLineOption>
#include <QRegularExpression>
#include <QStringList>

#include <functional>

namespace CliDocs {

namespace {

// One command's options as the documents need them: the conversion's
// (CommandLine) or inspect's (InspectOptions).
struct OptionTable
{
    QList<QCommandLineOption> options;
    // The values of an option that takes one of a set, with --lvgl 8 or 9.
    std::function<QStringList(const QCommandLineOption &, int)> choices;
    std::function<bool(const QCommandLineOption &)> takesPath;
};

OptionTable convertOptions(const CommandLine &commandLine)
{
    return {
        commandLine.listedOptions(),
        [&commandLine](const QCommandLineOption &option, int lvgl) {
            return commandLine.valueChoices(option, lvgl);
        },
        [&commandLine](const QCommandLineOption &option) { return commandLine.takesPath(option); }};
}

OptionTable inspectOptions(const InspectOptions &inspect)
{
    return {
        inspect.listed(),
        [&inspect](const QCommandLineOption &option, int) { return inspect.valueChoices(option); },
        [&inspect](const QCommandLineOption &option) { return inspect.takesPath(option); }};
}

// "-f" for a one-letter name, "--format" otherwise.
QString spelled(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QStringList spelledNames(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << spelled(name);
    return names;
}

// ---------------------------------------------------------------------------
// roff

// Text for roff: a backslash is written \e and every '-' \- (so that
// options stay hyphen-minus signs a reader can copy).
QString roff(const QString &text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\e");
        else if (c == QLatin1Char('-'))
            out += QLatin1String("\\-");
        else
            out += c;
    }
    return out;
}

// A line of text; one that starts with '.' or '\'' would be read as a
// request, so it gets the zero-width \& first.
QString roffLine(const QString &text)
{
    const QString line = roff(text);
    if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
        return QStringLiteral("\\&") + line;
    return line;
}

QString roffLines(const QStringList &lines)
{
    QString out;
    for (const QString &line : lines)
        out += roffLine(line) + QLatin1Char('\n');
    return out;
}

QString bold(const QString &text)
{
    return QStringLiteral("\\fB") + roff(text) + QStringLiteral("\\fR");
}

// The option's names in bold and its value in italics:
// "\fB\-f\fR, \fB\-\-format\fR \fIformat\fR".
QString roffOptionHead(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : spelledNames(option))
        names << bold(name);
    QString head = names.join(QLatin1String(", "));
    if (!option.valueName().isEmpty())
        head += QStringLiteral(" \\fI") + roff(option.valueName()) + QStringLiteral("\\fR");
    return head;
}

QString roffOptions(const QList<QCommandLineOption> &options)
{
    QString out;
    for (const QCommandLineOption &option : options) {
        out += QStringLiteral(".TP\n") + roffOptionHead(option) + QLatin1Char('\n')
            + roffLine(option.description()) + QLatin1Char('\n');
    }
    return out;
}

// "brindleforge-cli [options] INPUT..." in bold, italics and roman.
QString roffSynopsis(const QString &command, const QString &arguments)
{
    return QStringLiteral(".B ") + roff(command) + QStringLiteral("\n[\\fIoptions\\fR] \\fI")
        + roff(arguments) + QStringLiteral("\\fR...\n");
}

// ---------------------------------------------------------------------------
// The text after the options in --help, read back as it is laid out there:
// blocks of lines at the margin (a heading when the last ends with ':', or
// prose), and indented lines below them. An indented line whose columns
// are two or more spaces apart, or that has lines indented further below
// it, is a row of a table (the formats, the exit codes, the examples);
// other indented lines are notes.

struct HelpRow
{
    QStringList columns; // the first is the term
    QStringList more; // the lines indented below it, trimmed
    bool isTableRow() const { return columns.size() > 1 || !more.isEmpty(); }
};

struct HelpBlock
{
    enum Kind { Heading, Prose, Rows };
    Kind kind = Prose;
    QStringList lines; // Heading, Prose
    QList<HelpRow> rows; // Rows
};

int indentOf(const QString &line)
{
    int indent = 0;
    while (indent < line.size() && line.at(indent) == QLatin1Char(' '))
        ++indent;
    return indent;
}

QList<HelpBlock> helpBlocks(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QRegularExpression gap(QStringLiteral(" {2,}"));
    QList<HelpBlock> blocks;
    for (int i = 0; i < lines.size();) {
        const QString &line = lines.at(i);
        if (line.trimmed().isEmpty()) {
            ++i;
            continue;
        }
        HelpBlock block;
        if (indentOf(line) == 0) {
            while (i < lines.size() && !lines.at(i).isEmpty() && indentOf(lines.at(i)) == 0)
                block.lines << lines.at(i++);
            block.kind = block.lines.constLast().endsWith(QLatin1Char(':')) ? HelpBlock::Heading
                                                                            : HelpBlock::Prose;
        } else {
            block.kind = HelpBlock::Rows;
            const int indent = indentOf(line);
            while (i < lines.size() && !lines.at(i).trimmed().isEmpty()
                   && indentOf(lines.at(i)) >= indent) {
                const QString &current = lines.at(i++);
                if (indentOf(current) > indent && !block.rows.isEmpty())
                    block.rows.last().more << current.trimmed();
                else
                    block.rows.append({current.trimmed().split(gap), {}});
            }
        }
        blocks.append(block);
    }
    return blocks;
}

// A table row as a tagged paragraph: the term in bold, each other column
// on a line of its own, then the lines below it as one paragraph.
QString roffRow(const HelpRow &row)
{
    QString out = QStringLiteral(".TP\n") + bold(row.columns.constFirst()) + QLatin1Char('\n');
    QStringList parts;
    for (int i = 1; i < row.columns.size(); ++i)
        parts << roffLine(row.columns.at(i)) + QLatin1Char('\n');
    if (!row.more.isEmpty())
        parts << roffLines(row.more);
    return out + parts.join(QLatin1String(".br\n"));
}

// Indented lines: each run of table rows as tagged paragraphs, each run of
// notes as an indented paragraph.
QString roffRows(const QList<HelpRow> &rows)
{
    QString out;
    for (int i = 0; i < rows.size();) {
        if (rows.at(i).isTableRow()) {
            out += roffRow(rows.at(i++));
            continue;
        }
        out += QStringLiteral(".IP\n");
        for (; i < rows.size() && !rows.at(i).isTableRow(); ++i)
            out += roffLine(rows.at(i).columns.join(QLatin1String("  "))) + QLatin1Char('\n');
    }
    return out;
}

// An example: the command in bold, and what it does below it.
QString roffExamples(const QList<HelpRow> &rows)
{
    QString out;
    for (const HelpRow &row : rows) {
        const QString command = bold(row.columns.join(QLatin1String("  "))) + QLatin1Char('\n');
        if (row.more.isEmpty())
            out += QStringLiteral(".PP\n") + command;
        else
            out += QStringLiteral(".TP\n") + command + roffLines(row.more);
    }
    return out;
}

// The text after the options of one command, in the sections of a manual
// page: the exit codes and the examples apart, the rest as it comes.
struct HelpSections
{
    QString details;
    QString exitStatus;
    QString examples;
};

HelpSections roffHelp(const QString &text)
{
    HelpSections sections;
    QString *section = &sections.details;
    for (const HelpBlock &block : helpBlocks(text)) {
        switch (block.kind) {
        case HelpBlock::Heading: {
            const QString heading = block.lines.join(QLatin1Char(' '));
            if (heading == QLatin1String("Exit status:")) {
                section = &sections.exitStatus;
            } else if (heading == QLatin1String("Examples:")) {
                section = &sections.examples;
            } else {
                section = &sections.details;
                section->append(QStringLiteral(".PP\n\\fB") + roffLines(block.lines).chopped(1)
                                + QStringLiteral("\\fR\n"));
            }
            break;
        }
        case HelpBlock::Prose:
            section = &sections.details;
            section->append(QStringLiteral(".PP\n") + roffLines(block.lines));
            break;
        case HelpBlock::Rows:
            section->append(section == &sections.examples ? roffExamples(block.rows)
                                                          : roffRows(block.rows));
            break;
        }
    }
    return sections;
}

// ---------------------------------------------------------------------------
// Shells

// Words for a shell's single-quoted list; the values are format names and
// numbers, which need no quoting.
QString wordList(const QStringList &words)
{
    return words.join(QLatin1Char(' '));
}

QStringList allNames(const OptionTable &table)
{
    QStringList names;
    for (const QCommandLineOption &option : table.options)
        names += spelledNames(option);
    return names;
}

// The branches of "case $prev in" for one command: the values of the
// options that take one of a set (those of --lvgl 9 where they differ),
// files for a path, nothing for a free value.
QString bashValueCases(const OptionTable &table, const QString &indent)
{
    QString cases;
    QStringList freeValues;
    QStringList pathValues;
    for (const QCommandLineOption &option : table.options) {
        if (option.valueName().isEmpty())
            continue;
        const QStringList names = spelledNames(option);
        if (table.takesPath(option)) {
            pathValues += names;
            continue;
        }
        const QStringList v8 = table.choices(option, 8);
        const QStringList v9 = table.choices(option, 9);
        if (v8.isEmpty() && v9.isEmpty()) {
            freeValues += names;
            continue;
        }
        cases += indent + names.join(QLatin1Char('|')) + QStringLiteral(")\n") + indent;
        if (v8 == v9) {
            cases += QStringLiteral("    words='") + wordList(v8) + QStringLiteral("' ;;\n");
        } else {
            cases += QStringLiteral("    if [[ $lvgl == 9 ]]; then words='") + wordList(v9)
                + QStringLiteral("'; else words='") + wordList(v8) + QStringLiteral("'; fi ;;\n");
        }
    }
    if (!pathValues.isEmpty()) {
        cases += indent + pathValues.join(QLatin1Char('|')) + QStringLiteral(")\n") + indent
            + QStringLiteral("    _brindleforge_cli_files\n") + indent
            + QStringLiteral("    return ;;\n");
    }
    if (!freeValues.isEmpty()) {
        cases += indent + freeValues.join(QLatin1Char('|')) + QStringLiteral(")\n") + indent
            + QStringLiteral("    return ;;\n");
    }
    return cases;
}

QString bashCompletion(const OptionTable &convert, const OptionTable &inspect)
{
    return QStringLiteral(
               "# bash completion for brindleforge-cli                  -*- shell-script -*-\n"
               "# Made by \"brindleforge-cli --completion bash\" from the options of --help\n"
               "# and of inspect --help.\n"
               "\n"
               "# The files and folders that start with the word being completed, each name\n"
               "# one reply, spaces and all. bash-completion's _filedir, where it is loaded,\n"
               "# also reads the quotes, escapes and ~ of the word.\n"
               "_brindleforge_cli_files()\n"
               "{\n"
               "    if declare -F _filedir >/dev/null; then\n"
               "        _filedir\n"
               "        return\n"
               "    fi\n"
               "    # The word as typed, without its opening quote, \"\\x\" read as \"x\".\n"
               "    local plain= i\n"
               "    if [[ $cur == [\\\"\\']* ]]; then\n"
               "        plain=${cur:1}\n"
               "    else\n"
               "        for ((i = 0; i < ${#cur}; i++)); do\n"
               "            [[ ${cur:i:1} == \\\\ ]] && i=$((i + 1))\n"
               "            plain+=${cur:i:1}\n"
               "        done\n"
               "    fi\n"
               "    compopt -o filenames 2>/dev/null\n"
               "    mapfile -t COMPREPLY < <(compgen -f -- \"$plain\")\n"
               "}\n"
               "\n"
               "_brindleforge_cli()\n"
               "{\n"
               "    local cur=${COMP_WORDS[COMP_CWORD]} prev= words= options lvgl=8 i\n"
               "    COMPREPLY=()\n"
               "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD-1]}\n"
               "    # \"--option=value\" comes as three words: the option, \"=\" and the value.\n"
               "    if [[ $cur == = ]]; then\n"
               "        cur=\n"
               "    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then\n"
               "        prev=${COMP_WORDS[COMP_CWORD-2]}\n"
               "    fi\n"
               "\n"
               "    if [[ ${COMP_WORDS[1]} == inspect ]] && ((COMP_CWORD > 1)); then\n"
               "        options='")
        + wordList(allNames(inspect))
        + QStringLiteral("'\n"
                         "        case $prev in\n")
        + bashValueCases(inspect, QStringLiteral("        "))
        + QStringLiteral("        esac\n"
                         "    else\n"
                         "        options='")
        + wordList(allNames(convert))
        + QStringLiteral(
               "'\n"
               "        # The colour format names depend on the LVGL version given before.\n"
               "        for ((i = 1; i < COMP_CWORD; i++)); do\n"
               "            if [[ ${COMP_WORDS[i]} == --lvgl ]]; then\n"
               "                lvgl=${COMP_WORDS[i+1]}\n"
               "                [[ $lvgl == = ]] && lvgl=${COMP_WORDS[i+2]}\n"
               "            fi\n"
               "        done\n"
               "        case $prev in\n")
        + bashValueCases(convert, QStringLiteral("        "))
        + QStringLiteral("        esac\n"
                         "    fi\n"
                         "\n"
                         "    if [[ -n $words ]]; then\n"
                         "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
                         "    elif [[ $cur == -* ]]; then\n"
                         "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
                         "    else\n"
                         "        _brindleforge_cli_files\n"
                         "        # The command stands first, before any option.\n"
                         "        if ((COMP_CWORD == 1)); then\n"
                         "            COMPREPLY+=($(compgen -W inspect -- \"$cur\"))\n"
                         "        fi\n"
                         "    fi\n"
                         "}\n"
                         "complete -F _brindleforge_cli brindleforge-cli\n");
}

// An option's help text, short enough for a zsh menu: its first sentence,
// with the characters that _arguments or the single quotes around an option
// would read escaped.
QString zshDescription(const QString &description)
{
    QString text = description;
    const int end = text.indexOf(QLatin1String(". "));
    if (end > 0)
        text.truncate(end);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\''))
            out += QLatin1String("'\\''");
        else if (c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char(':')
                 || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + QString(c);
        else
            out += c;
    }
    return out;
}

// The _arguments specs of one command's options, one line each.
QString zshSpecs(const OptionTable &table, const QString &indent)
{
    QString specs;
    for (const QCommandLineOption &option : table.options) {
        const QStringList names = spelledNames(option);
        const bool takesValue = !option.valueName().isEmpty();
        // -f+ takes "-fc" or "-f c"; --format= takes "--format=c" or "--format c".
        QStringList spellings;
        for (const QString &name : names) {
            spellings << name
                    + (takesValue ? (name.size() == 2 ? QStringLiteral("+") : QStringLiteral("="))
                                  : QString());
        }
        QString line = indent;
        if (names.size() > 1) {
            line += QStringLiteral("'(") + names.join(QLatin1Char(' ')) + QStringLiteral(")'{")
                + spellings.join(QLatin1Char(',')) + QStringLiteral("}'");
        } else {
            line += QLatin1Char('\'') + spellings.first();
        }
        line += QLatin1Char('[') + zshDescription(option.description()) + QLatin1Char(']');
        if (takesValue) {
            QStringList values = table.choices(option, 8);
            values += table.choices(option, 9);
            values.removeDuplicates();
            line += QLatin1Char(':') + option.valueName() + QLatin1Char(':');
            if (table.takesPath(option))
                line += QStringLiteral("_files");
            else if (!values.isEmpty())
                line += QLatin1Char('(') + wordList(values) + QLatin1Char(')');
            else
                line += QLatin1Char(' ');
        }
        specs += line + QStringLiteral("' \\\n");
    }
    return specs;
}

QString zshCompletion(const OptionTable &convert, const OptionTable &inspect)
{
    return QStringLiteral(
               "#compdef brindleforge-cli\n"
               "# Made by \"brindleforge-cli --completion zsh\" from the options of --help\n"
               "# and of inspect --help.\n"
               "\n"
               "# brindleforge-cli inspect, from the word after \"inspect\" on.\n"
               "_brindleforge_cli_inspect()\n"
               "{\n"
               "    _arguments -s -S \\\n")
        + zshSpecs(inspect, QStringLiteral("        "))
        + QStringLiteral("        '*:file:_files'\n"
                         "}\n"
                         "\n"
                         "# An input; the first word may also be the command inspect.\n"
                         "_brindleforge_cli_input()\n"
                         "{\n"
                         "    if ((CURRENT == 2)); then\n"
                         "        _alternative 'commands:command:(inspect)' 'files:input:_files'\n"
                         "    else\n"
                         "        _files\n"
                         "    fi\n"
                         "}\n"
                         "\n"
                         "if [[ ${words[2]} == inspect ]] && ((CURRENT > 2)); then\n"
                         "    shift words\n"
                         "    ((CURRENT--))\n"
                         "    _brindleforge_cli_inspect\n"
                         "    return\n"
                         "fi\n"
                         "_arguments -s -S \\\n")
        + zshSpecs(convert, QStringLiteral("    "))
        + QStringLiteral("    '*:input:_brindleforge_cli_input'\n");
}

} // namespace

QString manPage(const CommandLine &commandLine)
{
    const InspectOptions inspect;
    const HelpSections convertHelp = roffHelp(commandLine.detailsText());
    const HelpSections inspectHelp = roffHelp(InspectOptions::detailsText());
    const QString inspectCommand = QStringLiteral("brindleforge-cli inspect");

    QString page = QStringLiteral(
        ".\\\" Made by \"brindleforge-cli --manpage\" from the options of --help.\n"
        ".TH BRINDLEFORGE\\-CLI 1 \"\" \"BrindleForge " BRINDLEFORGE_VERSION
        "\" \"User Commands\"\n"
        ".\\\" Option and format names are not hyphenated, and lines are not stretched.\n"
        ".nh\n"
        ".ad l\n"
        ".SH NAME\n"
        "brindleforge\\-cli \\- convert ");
    page += Convert::joinedList(Convert::imageKindNames(false), QStringLiteral(", "),
                                QStringLiteral(" and "))
        + QStringLiteral(" images for the LVGL graphics library\n.SH SYNOPSIS\n");
    page += roffSynopsis(QStringLiteral("brindleforge-cli"), QStringLiteral("INPUT"))
        + QStringLiteral(".br\n") + roffSynopsis(inspectCommand, QStringLiteral("FILE"));
    page += QStringLiteral(".SH DESCRIPTION\n") + roffLine(commandLine.description())
        + QStringLiteral("\n.TP\n\\fIINPUT\\fR...\n") + roffLine(CommandLine::inputsDescription())
        + QLatin1Char('\n');
    page += QStringLiteral(".PP\n") + bold(inspectCommand)
        + QStringLiteral(" reads LVGL image files back; see \\fBINSPECT\\fR below.\n");
    page += QStringLiteral(".SH OPTIONS\n") + roffOptions(commandLine.listedOptions());
    page += QStringLiteral(".SH DETAILS\n") + convertHelp.details;
    page += QStringLiteral(".SH INSPECT\n") + roffSynopsis(inspectCommand, QStringLiteral("FILE"))
        + QStringLiteral(".PP\n") + roffLine(InspectOptions::description())
        + QStringLiteral("\n.TP\n\\fIFILE\\fR...\n") + roffLine(InspectOptions::filesDescription())
        + QLatin1Char('\n') + inspectHelp.details + QStringLiteral(".SS Options\n")
        + roffOptions(inspect.listed());
    page += QStringLiteral(".SH EXIT STATUS\n") + convertHelp.exitStatus + QStringLiteral(".PP\n")
        + bold(inspectCommand) + QStringLiteral(":\n") + inspectHelp.exitStatus;
    page += QStringLiteral(".SH EXAMPLES\n") + convertHelp.examples + inspectHelp.examples;
    page += QStringLiteral(".SH SEE ALSO\n.BR brindleforge (1)\n");
    return page;
}

QString completion(const CommandLine &commandLine, const QString &shell)
{
    const InspectOptions inspect;
    if (shell == QLatin1String("zsh"))
        return zshCompletion(convertOptions(commandLine), inspectOptions(inspect));
    return bashCompletion(convertOptions(commandLine), inspectOptions(inspect));
}

} // namespace CliDocs
