// The manual page and the shell completions that the build makes with
// "brindleforge-cli --manpage" and "--completion bash|zsh": they name every
// option that --help names and no other, the bash completion completes what
// it should when bash runs it, and the manual page is clean roff.

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

// Every option name in the "Options:" part of --help, as "-f" and
// "--format": the names stand before the two spaces that start the text.
QStringList helpOptionNames()
{
    QProcess cli;
    cli.setProcessEnvironment(withoutDisplay());
    cli.start(QStringLiteral(BRINDLEFORGE_CLI), {QStringLiteral("--help")});
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

// The option names each document gives: the bold names that head a .TP
// paragraph of the manual page; the words bash offers after a dash; the
// option specs of zsh's _arguments.
QStringList documentedNames(const QString &document)
{
    const Documents &d = documents();
    if (document == QLatin1String("manual page")) {
        return namesIn(
            d.manPage,
            QRegularExpression(QStringLiteral("\\\\fB(--?[A-Za-z][A-Za-z0-9-]*)\\\\fR")));
    }
    if (document == QLatin1String("bash")) {
        const QRegularExpression list(QStringLiteral("\\$cur == -\\* \\]\\]; then\\n\\s*COMPREPLY="
                                                     "\\(\\$\\(compgen -W '([^']*)'"));
        const QString words = list.match(d.bash).captured(1);
        return words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return namesIn(d.zsh,
                   QRegularExpression(QStringLiteral("[{,'](--?[A-Za-z][A-Za-z0-9-]*)(?=[+=,}\\[])")));
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
    void bashCompletes_data();
    void bashCompletes();
    void manPageIsCleanRoff();
    void zshScriptParses();
};

void TestCliDocs::initTestCase()
{
    QVERIFY(!documents().manPage.isEmpty());
    QVERIFY(!documents().bash.isEmpty());
    QVERIFY(!documents().zsh.isEmpty());
    // The options of every issue so far are there; the list is read from
    // --help itself.
    const QStringList names = helpOptionNames();
    for (const char *name : {"-f", "--cf", "--lvgl", "--compress", "--symbol-prefix", "--dry-run"})
        QVERIFY2(names.contains(QLatin1String(name)), name);
}

void TestCliDocs::namesEveryOption_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("option");
    for (const char *document : {"manual page", "bash", "zsh"}) {
        for (const QString &option : helpOptionNames()) {
            QTest::addRow("%s names %s", document, qPrintable(option))
                << QString::fromLatin1(document) << option;
        }
    }
}

void TestCliDocs::namesEveryOption()
{
    QFETCH(QString, document);
    QFETCH(QString, option);
    QVERIFY2(documentedNames(document).contains(option),
             qPrintable(QStringLiteral("%1 is in --help but not in the %2").arg(option, document)));
}

void TestCliDocs::namesNoOtherOption_data()
{
    QTest::addColumn<QString>("document");
    for (const char *document : {"manual page", "bash", "zsh"})
        QTest::newRow(document) << QString::fromLatin1(document);
}

// An option the program does not take would fail when a user picks it.
void TestCliDocs::namesNoOtherOption()
{
    QFETCH(QString, document);
    const QStringList help = helpOptionNames();
    const QStringList names = documentedNames(document);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names)
        QVERIFY2(help.contains(name), qPrintable(name));
}

void TestCliDocs::bashCompletes_data()
{
    QTest::addColumn<QStringList>("words"); // as bash splits the line; the last is being completed
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QStringList>("notOffered");

    QTest::newRow("long options") << QStringList {"--sym"} << QStringList {"--symbol-prefix"}
                                  << QStringList {"--format"};
    QTest::newRow("short options")
        << QStringList {"-"} << QStringList {"-f", "-c", "--dry-run"} << QStringList();
    QTest::newRow("v8 colour formats")
        << QStringList {"-c", "INDEXED_"}
        << QStringList {"INDEXED_1BIT", "INDEXED_2BIT", "INDEXED_4BIT", "INDEXED_8BIT"}
        << QStringList {"I4"};
    QTest::newRow("window colour formats")
        << QStringList {"--color-format", "true"} << QStringList {"true-color", "true-color-alpha"}
        << QStringList();
    QTest::newRow("v9 colour formats after --lvgl 9")
        << QStringList {"--lvgl", "9", "--cf", "I"} << QStringList {"I1", "I2", "I4", "I8"}
        << QStringList {"INDEXED_4BIT"};
    QTest::newRow("--cf=, v8") << QStringList {"--cf", "=", "RGB5"} << QStringList {"RGB565A8"}
                               << QStringList {"RGB565", "RGB565_SWAPPED"};
    QTest::newRow("--lvgl=9, then -f") << QStringList {"--lvgl", "=", "9", "-f", ""}
                                       << QStringList {"c", "bin"} << QStringList {"bin-rgb565"};
    QTest::newRow("v8 output formats")
        << QStringList {"--format", "bin-"} << QStringList {"bin-rgb332", "bin-rgb565-swap"}
        << QStringList();
    QTest::newRow("depths") << QStringList {"-f", "bin", "--depth", ""}
                            << QStringList {"8", "16", "16swap", "32"} << QStringList();
    QTest::newRow("compression") << QStringList {"--lvgl", "9", "--compress", ""}
                                 << QStringList {"none", "rle", "lz4"} << QStringList();
    QTest::newRow("files for -o") << QStringList {"-o", "sub"} << QStringList {"subdir"}
                                  << QStringList();
    QTest::newRow("files for inputs")
        << QStringList {"-q", "pic"} << QStringList {"picture.png"} << QStringList();
    QTest::newRow("nothing for a symbol")
        << QStringList {"--symbol-prefix", ""} << QStringList() << QStringList {"picture.png"};
}

void TestCliDocs::bashCompletes()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);
    QFETCH(QStringList, notOffered);

    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    if (bash.isEmpty())
        QSKIP("bash is not installed");
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("subdir")));
    QFile picture(dir.filePath(QStringLiteral("picture.png")));
    QVERIFY(picture.open(QIODevice::WriteOnly));
    picture.close();

    // COMP_WORDS as bash fills it for the line, the completion function run
    // as "complete -F" runs it, and its answer one per line.
    QStringList quoted = {QStringLiteral("brindleforge-cli")};
    for (const QString &word : words)
        quoted << QLatin1Char('\'') + word + QLatin1Char('\'');
    const QString script = QStringLiteral("source '%1' || exit 3\n"
                                          "COMP_WORDS=(%2)\n"
                                          "COMP_CWORD=%3\n"
                                          "_brindleforge_cli\n"
                                          "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
                               .arg(QStringLiteral(BRINDLEFORGE_CLI_BASH),
                                    quoted.join(QLatin1Char(' ')), QString::number(words.size()));
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(
        bash,
        {QStringLiteral("--norc"), QStringLiteral("--noprofile"), QStringLiteral("-c"), script});
    QVERIFY(shell.waitForFinished(30000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    QStringList replies = QString::fromUtf8(shell.readAllStandardOutput()).split(QLatin1Char('\n'));
    replies.removeAll(QString());
    for (const QString &word : offered)
        QVERIFY2(replies.contains(word),
                 qPrintable(word + QStringLiteral(" not in: ") + replies.join(QLatin1Char(' '))));
    for (const QString &word : notOffered)
        QVERIFY2(!replies.contains(word), qPrintable(word));
    if (offered.isEmpty())
        QVERIFY2(replies.isEmpty(), qPrintable(replies.join(QLatin1Char(' '))));
}

void TestCliDocs::manPageIsCleanRoff()
{
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    if (groff.isEmpty())
        QSKIP("groff is not installed");
    QProcess render;
    render.start(groff,
                 {QStringLiteral("-man"), QStringLiteral("-Tutf8"), QStringLiteral("-ww"),
                  QStringLiteral(BRINDLEFORGE_CLI_MANPAGE)});
    QVERIFY(render.waitForFinished(30000));
    const QByteArray warnings = render.readAllStandardError();
    QVERIFY2(render.exitCode() == 0 && warnings.isEmpty(), warnings.constData());
    const QString text = QString::fromUtf8(render.readAllStandardOutput())
                             .remove(QRegularExpression(QStringLiteral(".\\x08")));
    // What a reader sees: the sections and an option as typed.
    for (const char *expected : {"NAME", "SYNOPSIS", "OPTIONS", "--symbol-prefix P",
                                 "Exit status:", "INDEXED_4BIT", "ARGB8888_PREMULTIPLIED"})
        QVERIFY2(text.contains(QLatin1String(expected)), expected);
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
