// The manual page and the shell completions that the build makes with
// "brindleforge-cli --manpage" and "--completion bash|zsh": they name every
// option that --help and inspect --help name and no other, bash and zsh
// complete what they should when they run the scripts, and the manual page
// is clean roff that fits 80 columns.

#include <QtTest>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    return environment;
}

// The commands whose options the documents give: the conversion
// ("brindleforge-cli --help") and "brindleforge-cli inspect --help".
const char *const commands[] = {"convert", "inspect"};

bool isInspect(const QString &command)
{
    return command == QLatin1String("inspect");
}

// Every option name in the "Options:" part of a command's --help, as "-f"
// and "--format": the names stand before the two spaces that start the
// text.
QStringList helpOptionNames(const QString &command)
{
    QProcess cli;
    cli.setProcessEnvironment(withoutDisplay());
    cli.start(QStringLiteral(BRINDLEFORGE_CLI),
              isInspect(command) ? QStringList {QStringLiteral("inspect"), QStringLiteral("--help")}
                                 : QStringList {QStringLiteral("--help")});
    if (!cli.waitForFinished(30000) || cli.exitCode() != 0)
        return {};
    const QString help = QString::fromUtf8(cli.readAllStandardOutput());
    const QString options = help.section(QStringLiteral("\nOptions:\n"), 1)
                                .section(QStringLiteral("\nArguments:\n"), 0, 0);
    QStringList names;
    const QRegularExpression name(QStringLiteral("(?:^|, )(--?[A-Za-z][A-Za-z0-9-]*)"));
    for (const QString &line : options.split(QLatin1Char('\n'))) {
        const QString head = line.trimmed().section(QStringLiteral("  "), 0, 0);
        if (!head.startsWith(QLatin1Char('-')))
            continue;
        auto it = name.globalMatch(head);
        while (it.hasNext())
            names << it.next().captured(1);
    }
    return names;
}

// The option names a document gives, found by the pattern around them.
QStringList namesIn(const QString &text, const QRegularExpression &pattern)
{
    QStringList names;
    auto it = pattern.globalMatch(text);
    while (it.hasNext())
        names << it.next().captured(1);
    names.removeDuplicates();
    return names;
}

struct Documents
{
    QString manPage; // roff, "\-" made "-"
    QString bash;
    QString zsh;
};

const Documents &documents()
{
    static const Documents docs = [] {
        Documents d;
        d.manPage = QString::fromUtf8(readFile(QStringLiteral(BRINDLEFORGE_CLI_MANPAGE)))
                        .replace(QLatin1String("\\-"), QLatin1String("-"));
        d.bash = QString::fromUtf8(readFile(QStringLiteral(BRINDLEFORGE_CLI_BASH)));
        d.zsh = QString::fromUtf8(readFile(QStringLiteral(BRINDLEFORGE_CLI_ZSH)));
        return d;
    }();
    return docs;
}

// A folder for the shells to complete file names in.
struct Files
{
    QTemporaryDir dir;
    bool make()
    {
        if (!dir.isValid() || !QDir(dir.path()).mkdir(QStringLiteral("subdir")))
            return false;
        for (const char *name : {"picture.png", "my image.png", "my other.png"}) {
            QFile file(dir.filePath(QLatin1String(name)));
            if (!file.open(QIODevice::WriteOnly))
                return false;
        }
        return true;
    }
};

// A word for a bash single-quoted list.
QString bashQuoted(const QString &word)
{
    return QLatin1Char('\'') + QString(word).replace(QLatin1String("'"), QLatin1String("'\\''"))
        + QLatin1Char('\'');
}

// What the bash completion offers for words (as bash splits the line; the
// last is being completed), run in folder as "complete -F" runs it, with or
// without bash-completion loaded first. Sets *error when bash fails.
QStringList bashReplies(const QStringList &words, bool bashCompletion, const QString &folder,
                        QString *error)
{
    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    QStringList quoted = {QStringLiteral("brindleforge-cli")};
    for (const QString &word : words)
        quoted << bashQuoted(word);
    const QString script =
        (bashCompletion ? QStringLiteral("source /usr/share/bash-completion/bash_completion\n")
                        : QString())
        + QStringLiteral("source '%1' || exit 3\n"
                         "COMP_WORDS=(%2)\n"
                         "COMP_CWORD=%3\n"
                         "_brindleforge_cli\n"
                         "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
              .arg(QStringLiteral(BRINDLEFORGE_CLI_BASH), quoted.join(QLatin1Char(' ')),
                   QString::number(words.size()));
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(
        bash,
        {QStringLiteral("--norc"), QStringLiteral("--noprofile"), QStringLiteral("-c"), script});
    if (!shell.waitForFinished(30000) || shell.exitCode() != 0) {
        *error = QString::fromUtf8(shell.readAllStandardError());
        return {};
    }
    QStringList replies = QString::fromUtf8(shell.readAllStandardOutput()).split(QLatin1Char('\n'));
    replies.removeAll(QString());
    return replies;
}

// Drives an interactive zsh on a pseudo-terminal (zsh/zpty): it types the
// line and Tab, and prints every match the completion system adds, one a
// line, as the user would get it (unquoted). The first comes on the line
// that zsh echoes.
const char zshDriver[] = R"(zmodload zsh/zpty || exit 3
zpty z zsh -f -i
zpty -w z "source ${(q)1}"
local line
repeat 20; do zpty -r z line; [[ $line == *'<<ready>>'* ]] && break; done
zpty -w -n z "$2"$'\t'
while zpty -r z line; do
    [[ $line == *'<<match>>'* ]] && print -r -- "${${line##*<<match>>}%%$'\r'*}"
    [[ $line == *'<<end>>'* ]] && break
done
zpty -d z
)";

// Sourced by that shell: the completion system with the script's folder in
// fpath, and a compadd that reports what it adds.
const char zshSetup[] = R"(PROMPT=
fpath=('%1' $fpath)
autoload -Uz compinit && compinit -u -D
bindkey '^I' complete-word
zstyle ':completion:*' insert-tab false
end-matches() { print -r -- '<<end>>'; exit }
comppostfuncs=(end-matches)
compadd() {
    if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then
        builtin compadd "$@"
        return
    fi
    local -a hits
    builtin compadd -O hits "$@"
    builtin compadd "$@"
    local hit
    for hit in $hits; do print -r -- "<<match>>${(Q)hit}"; done
}
print -r -- '<<ready>>'
)";

QStringList zshReplies(const QString &line, const QString &folder, QString *error)
{
    const QString zsh = QStandardPaths::findExecutable(QStringLiteral("zsh"));
    QFile setup(QDir(folder).filePath(QStringLiteral(".setup.zsh")));
    QFile driver(QDir(folder).filePath(QStringLiteral(".driver.zsh")));
    if (!setup.open(QIODevice::WriteOnly) || !driver.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write the zsh scripts");
        return {};
    }
    setup.write(QString::fromLatin1(zshSetup)
                    .arg(QFileInfo(QStringLiteral(BRINDLEFORGE_CLI_ZSH)).absolutePath())
                    .toUtf8());
    setup.close();
    driver.write(zshDriver);
    driver.close();
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(zsh, {QStringLiteral("-f"), driver.fileName(), setup.fileName(), line});
    if (!shell.waitForFinished(30000) || shell.exitCode() != 0) {
        *error = QStringLiteral("zsh failed: ") + QString::fromUtf8(shell.readAllStandardError());
        shell.kill();
        return {};
    }
    QStringList replies = QString::fromUtf8(shell.readAllStandardOutput()).split(QLatin1Char('\n'));
    replies.removeAll(QString());
    return replies;
}

// The text of the roff page from the line ".SH <name>" to the next section.
QString manSection(const QString &name)
{
    const QString start = QStringLiteral("\n.SH ") + name + QLatin1Char('\n');
    const QString &page = documents().manPage;
    const int at = page.indexOf(start);
    if (at < 0)
        return {};
    return page.mid(at + start.size()).section(QStringLiteral("\n.SH "), 0, 0);
}

// The option names each document gives for command: the bold names of the
// manual page's section of that command; the words bash offers after a
// dash; the option specs of zsh's _arguments for that command.
QStringList documentedNames(const QString &document, const QString &command)
{
    const Documents &d = documents();
    if (document == QLatin1String("manual page")) {
        return namesIn(
            manSection(isInspect(command) ? QStringLiteral("INSPECT") : QStringLiteral("OPTIONS")),
            QRegularExpression(QStringLiteral("\\\\fB(--?[A-Za-z][A-Za-z0-9-]*)\\\\fR")));
    }
    if (document == QLatin1String("bash")) {
        static QHash<QString, QStringList> cache;
        if (!cache.contains(command)) {
            QString error;
            cache.insert(command,
                         bashReplies(isInspect(command) ? QStringList {QStringLiteral("inspect"),
                                                                       QStringLiteral("-")}
                                                        : QStringList {QStringLiteral("-")},
                                     false, QDir::tempPath(), &error));
        }
        return cache.value(command);
    }
    // _brindleforge_cli_inspect() holds inspect's specs; the last
    // _arguments the conversion's.
    const QString inspect = d.zsh.section(QStringLiteral("_brindleforge_cli_inspect()\n{"), 1)
                                .section(QStringLiteral("\n}\n"), 0, 0);
    const QString convert = d.zsh.section(QStringLiteral("\n_arguments "), -1);
    return namesIn(
        isInspect(command) ? inspect : convert,
        QRegularExpression(QStringLiteral("[{,'](--?[A-Za-z][A-Za-z0-9-]*)(?=[+=,}\\[])")));
}

// The manual page as groff sets it 80 columns wide, overstrikes removed,
// and groff's warnings.
struct Rendered
{
    QString text;
    QString warnings;
    bool found = false; // groff is installed
    bool ok = false;
};

const Rendered &renderedManPage()
{
    static const Rendered rendered = [] {
        Rendered r;
        const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
        r.found = !groff.isEmpty();
        if (!r.found)
            return r;
        QProcess render;
        render.start(groff,
                     {QStringLiteral("-man"), QStringLiteral("-Tutf8"), QStringLiteral("-ww"),
                      QStringLiteral("-rLL=80n"), QStringLiteral(BRINDLEFORGE_CLI_MANPAGE)});
        r.ok = render.waitForFinished(30000) && render.exitCode() == 0;
        r.warnings = QString::fromUtf8(render.readAllStandardError());
        r.text = QString::fromUtf8(render.readAllStandardOutput())
                     .remove(QRegularExpression(QStringLiteral(".\\x08")))
                     .remove(QRegularExpression(QStringLiteral("\\x1b\\[[0-9;]*m")));
        return r;
    }();
    return rendered;
}

} // namespace

class TestCliDocs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void namesEveryOption_data();
    void namesEveryOption();
    void namesNoOtherOption_data();
    void namesNoOtherOption();
    void completes_data();
    void completes();
    void manPageIsCleanRoff();
    void manPageShows_data();
    void manPageShows();
    void zshScriptParses();
};

void TestCliDocs::initTestCase()
{
    QVERIFY(!documents().manPage.isEmpty());
    QVERIFY(!documents().bash.isEmpty());
    QVERIFY(!documents().zsh.isEmpty());
    // The options of every issue so far are there; the lists are read from
    // --help itself.
    const QStringList names = helpOptionNames(QStringLiteral("convert"));
    for (const char *name : {"-f", "--cf", "--lvgl", "--compress", "--symbol-prefix", "--dry-run"})
        QVERIFY2(names.contains(QLatin1String(name)), name);
    for (const char *name : {"--section", "--align", "--pack", "--pack-bind"})
        QVERIFY2(names.contains(QLatin1String(name)), name);
    const QStringList inspect = helpOptionNames(QStringLiteral("inspect"));
    for (const char *name : {"--json", "--png", "--chroma-key", "--lvgl", "--entry"})
        QVERIFY2(inspect.contains(QLatin1String(name)), name);
}

void TestCliDocs::namesEveryOption_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("option");
    for (const char *document : {"manual page", "bash", "zsh"}) {
        for (const char *command : commands) {
            for (const QString &option : helpOptionNames(QLatin1String(command))) {
                QTest::addRow("%s, %s: %s", document, command, qPrintable(option))
                    << QString::fromLatin1(document) << QString::fromLatin1(command) << option;
            }
        }
    }
}

void TestCliDocs::namesEveryOption()
{
    QFETCH(QString, document);
    QFETCH(QString, command);
    QFETCH(QString, option);
    QVERIFY2(documentedNames(document, command).contains(option),
             qPrintable(QStringLiteral("%1 is in %2's --help but not in the %3")
                            .arg(option, command, document)));
}

void TestCliDocs::namesNoOtherOption_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("command");
    for (const char *document : {"manual page", "bash", "zsh"}) {
        for (const char *command : commands) {
            QTest::addRow("%s, %s", document, command)
                << QString::fromLatin1(document) << QString::fromLatin1(command);
        }
    }
}

// An option the command does not take would fail when a user picks it:
// inspect --j offering --jobs, say.
void TestCliDocs::namesNoOtherOption()
{
    QFETCH(QString, document);
    QFETCH(QString, command);
    const QStringList help = helpOptionNames(command);
    const QStringList names = documentedNames(document, command);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names)
        QVERIFY2(help.contains(name), qPrintable(name));
}

void TestCliDocs::completes_data()
{
    QTest::addColumn<QString>("shell"); // bash, bash with bash-completion loaded first, or zsh
    QTest::addColumn<QStringList>("words"); // as bash splits the line; the last is being completed
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QStringList>("notOffered");

    const QStringList all = {"bash", "bash-completion", "zsh"};
    const QStringList bash = {"bash", "bash-completion"};
    const auto add = [](const char *name, const QStringList &shells, const QStringList &words,
                        const QStringList &offered, const QStringList &notOffered) {
        for (const QString &shell : shells)
            QTest::addRow("%s: %s", qPrintable(shell), name)
                << shell << words << offered << notOffered;
    };
    add("long options", all, {"--sym"}, {"--symbol-prefix"}, {"--format"});
    add("short options", all, {"-"}, {"-f", "-c", "--dry-run"}, {});
    add("v8 colour formats", all, {"-c", "INDEXED_"},
        {"INDEXED_1BIT", "INDEXED_2BIT", "INDEXED_4BIT", "INDEXED_8BIT"}, {"I4"});
    add("window colour formats", all, {"--color-format", "true"},
        {"true-color", "true-color-alpha"}, {});
    // zsh offers the names of both versions.
    add("v9 colour formats after --lvgl 9", bash, {"--lvgl", "9", "--cf", "I"},
        {"I1", "I2", "I4", "I8"}, {"INDEXED_4BIT"});
    add("--cf=, v8", bash, {"--cf", "=", "RGB5"}, {"RGB565A8"}, {"RGB565", "RGB565_SWAPPED"});
    add("--lvgl=9, then -f", bash, {"--lvgl", "=", "9", "-f", ""}, {"c", "bin"}, {"bin-rgb565"});
    add("v8 output formats", all, {"--format", "bin-"}, {"bin-rgb332", "bin-rgb565-swap"}, {});
    add("depths", all, {"-f", "bin", "--depth", ""}, {"8", "16", "16swap", "32"}, {});
    add("compression", all, {"--lvgl", "9", "--compress", ""}, {"none", "rle", "lz4"}, {});
    add("rotations", all, {"--rotate", ""}, {"90", "180", "270"}, {});
    add("flips", all, {"--flip", ""}, {"h", "v"}, {"90"});
    add("nothing for a size", all, {"--fit", ""}, {}, {"picture.png"});
    add("files for -o", all, {"-o", "sub"}, {"subdir"}, {});
    add("files for --preview", all, {"--preview", "sub"}, {"subdir"}, {});
    add("files for inputs", all, {"-q", "pic"}, {"picture.png"}, {});
    add("nothing for a symbol", all, {"--symbol-prefix", ""}, {}, {"picture.png"});
    add("names with spaces whole", all, {"my"}, {"my image.png", "my other.png"},
        {"my", "image.png"});
    // Without readline (bash -c), only our own reading of the word takes
    // the backslash out.
    add("an escaped space", {"bash", "zsh"}, {"-o", "my\\ i"}, {"my image.png"}, {"my other.png"});
    add("a quoted name", all, {"'my i"}, {"my image.png"}, {"my"});
    add("the command inspect", all, {"ins"}, {"inspect"}, {});
    add("inspect only first", all, {"-q", "ins"}, {}, {"inspect"});
    add("inspect's options", all, {"inspect", "--j"}, {"--json"}, {"--jobs"});
    add("inspect's depths", all, {"inspect", "--depth", ""}, {"8", "16", "32"}, {"16swap"});
    add("files for inspect's --png", all, {"inspect", "--png", "my"}, {"my image.png"}, {"my"});
    add("inspect's --png=", bash, {"inspect", "--png", "=", "my"}, {"my image.png"}, {"my"});
    add("inspect's files", all, {"inspect", "--json", "pic"}, {"picture.png"}, {"inspect"});
    add("nothing for inspect's colours", all, {"inspect", "--chroma-key", ""}, {}, {"picture.png"});
}

void TestCliDocs::completes()
{
    QFETCH(QString, shell);
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);
    QFETCH(QStringList, notOffered);

    const bool zsh = shell == QLatin1String("zsh");
    if (QStandardPaths::findExecutable(zsh ? QStringLiteral("zsh") : QStringLiteral("bash"))
            .isEmpty())
        QSKIP("the shell is not installed");
    const bool bashCompletion = shell == QLatin1String("bash-completion");
    if (bashCompletion
        && !QFileInfo::exists(QStringLiteral("/usr/share/bash-completion/bash_completion")))
        QSKIP("bash-completion is not installed");
    Files files;
    QVERIFY(files.make());
    QString error;
    const QStringList replies = zsh
        ? zshReplies(QStringLiteral("brindleforge-cli ") + words.join(QLatin1Char(' ')),
                     files.dir.path(), &error)
        : bashReplies(words, bashCompletion, files.dir.path(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (const QString &word : offered)
        QVERIFY2(replies.contains(word),
                 qPrintable(word + QStringLiteral(" not in: ") + replies.join(QLatin1Char('|'))));
    for (const QString &word : notOffered)
        QVERIFY2(!replies.contains(word), qPrintable(word));
    if (offered.isEmpty())
        QVERIFY2(replies.isEmpty(), qPrintable(replies.join(QLatin1Char('|'))));
}

// groff sets it without a warning, and no line runs past 80 columns (the
// format tables used to run to about 125).
void TestCliDocs::manPageIsCleanRoff()
{
    const Rendered &page = renderedManPage();
    if (!page.found)
        QSKIP("groff is not installed");
    QVERIFY2(page.ok && page.warnings.isEmpty(), qPrintable(page.warnings));
    for (const QString &line : page.text.split(QLatin1Char('\n')))
        QVERIFY2(line.size() <= 80,
                 qPrintable(QString::number(line.size()) + QLatin1String(": ") + line));
}

void TestCliDocs::manPageShows_data()
{
    QTest::addColumn<QString>("expected"); // in the page as a reader sees it

    QTest::newRow("NAME") << "\nNAME\n";
    QTest::newRow("conversion synopsis") << "brindleforge-cli [options] INPUT...";
    QTest::newRow("inspect synopsis") << "brindleforge-cli inspect [options] FILE...";
    QTest::newRow("an option") << "--symbol-prefix P";
    QTest::newRow("an inspect option") << "--chroma-key RRGGBB";
    QTest::newRow("a transform") << "--crop X,Y,W,H";
    QTest::newRow("a v8 format") << "INDEXED_4BIT";
    QTest::newRow("a v9 format") << "ARGB8888_PREMULTIPLIED";
    QTest::newRow("EXIT STATUS") << "\nEXIT STATUS\n";
    QTest::newRow("a conversion's exit status") << "usage error; nothing was written";
    QTest::newRow("inspect's exit status") << "some file is inconsistent or cannot be read";
    QTest::newRow("EXAMPLES") << "\nEXAMPLES\n";
    QTest::newRow("an example") << "brindleforge-cli -f bin -c ALPHA_4BIT glyph.png";
    QTest::newRow("an inspect example") << "brindleforge-cli inspect logo.bin";
    QTest::newRow("the window's page") << "brindleforge(1)";
}

void TestCliDocs::manPageShows()
{
    QFETCH(QString, expected);
    const Rendered &page = renderedManPage();
    if (!page.found)
        QSKIP("groff is not installed");
    QVERIFY2(page.text.contains(expected), qPrintable(expected));
}

void TestCliDocs::zshScriptParses()
{
    const QString zsh = QStandardPaths::findExecutable(QStringLiteral("zsh"));
    if (zsh.isEmpty())
        QSKIP("zsh is not installed");
    QProcess shell;
    shell.start(zsh, {QStringLiteral("-n"), QStringLiteral(BRINDLEFORGE_CLI_ZSH)});
    QVERIFY(shell.waitForFinished(30000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(TestCliDocs)
#include "tst_clidocs.moc"
