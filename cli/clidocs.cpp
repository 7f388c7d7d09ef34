#include "clidocs.h"

#include "commandline.h"

#include <buildconfig.h>

#include <QCommandLineOption>
#include <QStringList>

namespace CliDocs {

namespace {

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

// The option's names in bold and its value in italics:
// "\fB\-f\fR, \fB\-\-format\fR \fIformat\fR".
QString roffOptionHead(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : spelledNames(option))
        names << QStringLiteral("\\fB") + roff(name) + QStringLiteral("\\fR");
    QString head = names.join(QLatin1String(", "));
    if (!option.valueName().isEmpty())
        head += QStringLiteral(" \\fI") + roff(option.valueName()) + QStringLiteral("\\fR");
    return head;
}

// The text after the options in --help, kept as it is laid out (its tables
// are aligned in columns). A run of lines at the left margin that ends with
// ':' is a heading, set in bold.
QString roffDetails(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    const auto atMargin = [](const QString &line) {
        return !line.isEmpty() && !line.at(0).isSpace();
    };
    QString out = QStringLiteral(".nf\n");
    for (int i = 0; i < lines.size();) {
        if (!atMargin(lines.at(i))) {
            out += roffLine(lines.at(i)) + QLatin1Char('\n');
            ++i;
            continue;
        }
        int end = i;
        while (end < lines.size() && atMargin(lines.at(end)))
            ++end;
        const bool heading = lines.at(end - 1).endsWith(QLatin1Char(':'));
        for (; i < end; ++i) {
            if (heading)
                out += QStringLiteral("\\fB") + roff(lines.at(i)) + QStringLiteral("\\fR\n");
            else
                out += roffLine(lines.at(i)) + QLatin1Char('\n');
        }
    }
    return out + QStringLiteral(".fi\n");
}

// ---------------------------------------------------------------------------
// Shells

// Words for a shell's single-quoted list; the values are format names and
// numbers, which need no quoting.
QString wordList(const QStringList &words)
{
    return words.join(QLatin1Char(' '));
}

QString bashCompletion(const CommandLine &commandLine)
{
    const QList<QCommandLineOption> options = commandLine.listedOptions();
    QStringList allNames;
    QString valueCases;
    QStringList freeValues;
    QStringList pathValues;
    for (const QCommandLineOption &option : options) {
        const QStringList names = spelledNames(option);
        allNames += names;
        if (option.valueName().isEmpty())
            continue;
        if (commandLine.takesPath(option)) {
            pathValues += names;
            continue;
        }
        const QStringList v8 = commandLine.valueChoices(option, 8);
        const QStringList v9 = commandLine.valueChoices(option, 9);
        if (v8.isEmpty() && v9.isEmpty()) {
            freeValues += names;
            continue;
        }
        valueCases += QStringLiteral("    ") + names.join(QLatin1Char('|')) + QStringLiteral(")\n");
        if (v8 == v9) {
            valueCases +=
                QStringLiteral("        words='") + wordList(v8) + QStringLiteral("' ;;\n");
        } else {
            valueCases += QStringLiteral("        if [[ $lvgl == 9 ]]; then words='") + wordList(v9)
                + QStringLiteral("'; else words='") + wordList(v8) + QStringLiteral("'; fi ;;\n");
        }
    }

    QString script = QStringLiteral(
        "# bash completion for brindleforge-cli                  -*- shell-script -*-\n"
        "# Made by \"brindleforge-cli --completion bash\" from the options of --help.\n"
        "\n"
        "_brindleforge_cli()\n"
        "{\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev= words= lvgl=8 i\n"
        "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    # \"--option=value\" comes as three words: the option, \"=\" and the value.\n"
        "    if [[ $cur == = ]]; then\n"
        "        cur=\n"
        "    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then\n"
        "        prev=${COMP_WORDS[COMP_CWORD-2]}\n"
        "    fi\n"
        "    # The colour format names depend on the LVGL version given before.\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        if [[ ${COMP_WORDS[i]} == --lvgl ]]; then\n"
        "            lvgl=${COMP_WORDS[i+1]}\n"
        "            [[ $lvgl == = ]] && lvgl=${COMP_WORDS[i+2]}\n"
        "        fi\n"
        "    done\n"
        "\n"
        "    case $prev in\n");
    script += valueCases;
    if (!pathValues.isEmpty()) {
        script += QStringLiteral("    ") + pathValues.join(QLatin1Char('|'))
            + QStringLiteral(")\n"
                             "        compopt -o filenames 2>/dev/null\n"
                             "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                             "        return ;;\n");
    }
    if (!freeValues.isEmpty()) {
        script += QStringLiteral("    ") + freeValues.join(QLatin1Char('|'))
            + QStringLiteral(")\n"
                             "        return ;;\n");
    }
    script += QStringLiteral("    esac\n"
                             "    if [[ -n $words ]]; then\n"
                             "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
                             "    elif [[ $cur == -* ]]; then\n"
                             "        COMPREPLY=($(compgen -W '")
        + wordList(allNames)
        + QStringLiteral("' -- \"$cur\"))\n"
                         "    else\n"
                         "        compopt -o filenames 2>/dev/null\n"
                         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                         "    fi\n"
                         "}\n"
                         "complete -F _brindleforge_cli brindleforge-cli\n");
    return script;
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

QString zshCompletion(const CommandLine &commandLine)
{
    QString script = QStringLiteral(
        "#compdef brindleforge-cli\n"
        "# Made by \"brindleforge-cli --completion zsh\" from the options of --help.\n"
        "\n"
        "_arguments -s -S \\\n");
    for (const QCommandLineOption &option : commandLine.listedOptions()) {
        const QStringList names = spelledNames(option);
        const bool takesValue = !option.valueName().isEmpty();
        // -f+ takes "-fc" or "-f c"; --format= takes "--format=c" or "--format c".
        QStringList specs;
        for (const QString &name : names) {
            specs << name
                    + (takesValue ? (name.size() == 2 ? QStringLiteral("+") : QStringLiteral("="))
                                  : QString());
        }
        QString line = QStringLiteral("    ");
        if (names.size() > 1) {
            line += QStringLiteral("'(") + names.join(QLatin1Char(' ')) + QStringLiteral(")'{")
                + specs.join(QLatin1Char(',')) + QStringLiteral("}'");
        } else {
            line += QLatin1Char('\'') + specs.first();
        }
        line += QLatin1Char('[') + zshDescription(option.description()) + QLatin1Char(']');
        if (takesValue) {
            QStringList values = commandLine.valueChoices(option, 8);
            values += commandLine.valueChoices(option, 9);
            values.removeDuplicates();
            line += QLatin1Char(':') + option.valueName() + QLatin1Char(':');
            if (commandLine.takesPath(option))
                line += QStringLiteral("_files");
            else if (!values.isEmpty())
                line += QLatin1Char('(') + wordList(values) + QLatin1Char(')');
            else
                line += QLatin1Char(' ');
        }
        script += line + QStringLiteral("' \\\n");
    }
    script += QStringLiteral("    '*:input:_files'\n");
    return script;
}

} // namespace

QString manPage(const CommandLine &commandLine)
{
    QString page = QStringLiteral(
        ".\\\" Made by \"brindleforge-cli --manpage\" from the options of --help.\n"
        ".TH BRINDLEFORGE\\-CLI 1 \"\" \"BrindleForge " BRINDLEFORGE_VERSION
        "\" \"User Commands\"\n"
        ".SH NAME\n"
        "brindleforge\\-cli \\- convert PNG, JPEG and BMP images for the LVGL graphics library\n"
        ".SH SYNOPSIS\n"
        ".B brindleforge\\-cli\n"
        "[\\fIoptions\\fR] \\fIINPUT\\fR...\n"
        ".SH DESCRIPTION\n");
    page += roffLine(commandLine.description()) + QLatin1Char('\n');
    page += QStringLiteral(".PP\n") + roffLine(commandLine.inputsDescription()) + QLatin1Char('\n');
    page += QStringLiteral(".SH OPTIONS\n");
    for (const QCommandLineOption &option : commandLine.listedOptions()) {
        page += QStringLiteral(".TP\n") + roffOptionHead(option) + QLatin1Char('\n')
            + roffLine(option.description()) + QLatin1Char('\n');
    }
    page += QStringLiteral(".SH DETAILS\n") + roffDetails(commandLine.detailsText());
    return page;
}

QString completion(const CommandLine &commandLine, const QString &shell)
{
    if (shell == QLatin1String("zsh"))
        return zshCompletion(commandLine);
    return bashCompletion(commandLine);
}

} // namespace CliDocs
