#include <csymbol.h>

#include <QtTest>

using namespace Convert;

class TestCSymbol : public QObject
{
    Q_OBJECT

private slots:
    void symbol_data();
    void symbol();
    void fromPath_data();
    void fromPath();
};

void TestCSymbol::symbol_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("identifier kept") << "logo"
                                     << "logo";
    QTest::newRow("underscores and digits kept") << "_img_2x"
                                                 << "_img_2x";
    QTest::newRow("upper case kept") << "Logo_BIG"
                                     << "Logo_BIG";
    QTest::newRow("hyphen") << "my-logo"
                            << "my_logo";
    QTest::newRow("space") << "splash screen"
                           << "splash_screen";
    QTest::newRow("leading digit") << "2x"
                                   << "_2x";
    QTest::newRow("leading digit and hyphen") << "9-patch"
                                              << "_9_patch";
    QTest::newRow("keyword") << "int"
                             << "int_";
    QTest::newRow("keyword C11") << "_Bool"
                                 << "_Bool_";
    QTest::newRow("keyword C23") << "bool"
                                 << "bool_";
    QTest::newRow("last keyword") << "while"
                                  << "while_";
    QTest::newRow("not quite a keyword") << "integer"
                                         << "integer";
    QTest::newRow("sanitised into a keyword") << "-Bool"
                                              << "_Bool_";
    QTest::newRow("empty") << ""
                           << "image";
    QTest::newRow("chinese") << QStringLiteral("图标") << "__";
    QTest::newRow("outside the BMP is one character") << QStringLiteral("a\U0001F600b") << "a_b";
    QTest::newRow("latin-1 letter") << QStringLiteral("café") << "caf_";
    QTest::newRow("dollar") << "a$b"
                            << "a_b";
}

void TestCSymbol::symbol()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString result = cSymbol(name);
    QCOMPARE(result, expected);
    QVERIFY(isCIdentifier(result));
    // The rule is stable: a symbol it made stays as it is.
    QCOMPARE(cSymbol(result), result);
    QCOMPARE(isCIdentifier(name), name == expected);
}

void TestCSymbol::fromPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("up to the first dot") << "D:/out/logo.small.c"
                                         << "logo";
    QTest::newRow("plain") << "/tmp/icon.bin"
                           << "icon";
    QTest::newRow("dot file") << "/tmp/.c"
                              << "image";
    QTest::newRow("hyphen in file name") << "/tmp/my-logo.c"
                                         << "my_logo";
    QTest::newRow("digit first") << "/tmp/2x.c"
                                 << "_2x";
    QTest::newRow("keyword file name") << "/tmp/int.c"
                                       << "int_";
    QTest::newRow("dots in folder names do not count") << "/tmp/a.b/pic.c"
                                                       << "pic";
}

void TestCSymbol::fromPath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(cSymbolForPath(path), expected);
}

QTEST_GUILESS_MAIN(TestCSymbol)
#include "tst_csymbol.moc"
