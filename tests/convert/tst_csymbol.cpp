#include <csymbol.h>

#include <QtTest>

using namespace Convert;

class TestCSymbol : public QObject
{
    Q_OBJECT

private slots:
    void symbol_data();
    void symbol();
    void problem_data();
    void problem();
    void fromPath_data();
    void fromPath();
};

void TestCSymbol::symbol_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    // Acceptable names pass unchanged, among them words that only match a
    // pattern C keeps for future library names.
    const char *const kept[] = {"logo",    "Logo_BIG",   "img_2x", "Img_2", "integer",   "toolbar",
                                "string",  "island",     "memory", "cerf",  "EGG",       "SIGN",
                                "LC_LOGO", "int_icon_t", "uint8",  "Main",  "main_menu", "NULLABLE",
                                "image",   "int_",       "NULL_",  "a__b",  "x_map"};
    for (const char *name : kept)
        QTest::addRow("kept: %s", name) << QString::fromLatin1(name) << QString::fromLatin1(name);

    QTest::newRow("hyphen") << "my-logo"
                            << "my_logo";
    QTest::newRow("space") << "splash screen"
                           << "splash_screen";
    QTest::newRow("dollar") << "a$b"
                            << "a_b";
    QTest::newRow("latin-1 letter") << QStringLiteral("café") << "caf_";
    QTest::newRow("outside the BMP is one character") << QStringLiteral("a\U0001F600b") << "a_b";
    QTest::newRow("only outside the BMP") << QStringLiteral("\U0001F600") << "img__";
    QTest::newRow("chinese") << QStringLiteral("图标") << "img___";
    QTest::newRow("empty") << ""
                           << "image";

    QTest::newRow("leading digit") << "2x"
                                   << "img_2x";
    QTest::newRow("only a digit") << "0"
                                  << "img_0";
    QTest::newRow("leading digit and hyphen") << "9-patch"
                                              << "img_9_patch";
    QTest::newRow("leading underscore") << "_logo"
                                        << "img__logo";
    QTest::newRow("leading underscore and digit") << "_2x"
                                                  << "img__2x";
    QTest::newRow("two leading underscores") << "__logo"
                                             << "img___logo";
    QTest::newRow("underscore and capital") << "_Logo"
                                            << "img__Logo";
    QTest::newRow("only an underscore") << "_"
                                        << "img__";
    QTest::newRow("keyword with an underscore") << "_Bool"
                                                << "img__Bool";
    QTest::newRow("library name with an underscore") << "_Exit"
                                                     << "img__Exit";
    QTest::newRow("sanitised into a leading underscore") << "-Bool"
                                                         << "img__Bool";

    // Each listed name gets a '_' suffix.
    const char *const suffixed[] = {
        // Keywords of C99 to C23, and asm of the GNU modes
        "int", "static", "while", "inline", "restrict", "bool", "true", "nullptr", "constexpr",
        "typeof", "typeof_unqual", "static_assert", "asm",
        // The generated file, LVGL v8
        "uint8_t", "lv_img_dsc_t", "lv_img_header_t", "LV_ATTRIBUTE_MEM_ALIGN", "LV_COLOR_DEPTH",
        "LV_COLOR_16_SWAP", "LV_COLOR_SIZE", "LV_IMG_PX_SIZE_ALPHA_BYTE", "LV_IMG_CF_UNKNOWN",
        "LV_IMG_CF_TRUE_COLOR", "LV_IMG_CF_TRUE_COLOR_CHROMA_KEYED", "LV_IMG_CF_INDEXED_8BIT",
        "LV_IMG_CF_ALPHA_1BIT", "LV_IMG_CF_RGB565A8",
        // The generated file, LVGL v9
        "lv_image_dsc_t", "lv_image_header_t", "LV_ATTRIBUTE_LARGE_CONST", "LV_IMAGE_HEADER_MAGIC",
        "LV_IMAGE_FLAGS_PREMULTIPLIED", "LV_IMAGE_FLAGS_COMPRESSED", "LV_COLOR_FORMAT_UNKNOWN",
        "LV_COLOR_FORMAT_I1", "LV_COLOR_FORMAT_RGB565", "LV_COLOR_FORMAT_AL88",
        "LV_COLOR_FORMAT_ARGB8888_PREMULTIPLIED", "LV_COLOR_FORMAT_RGB565_SWAPPED",
        // The program
        "main",
        // The C library, header by header
        "assert", "NDEBUG", "I", "complex", "cabsf", "isalpha", "tolower", "errno", "EDOM",
        "EILSEQ", "fenv_t", "FE_TONEAREST", "FLT_MAX", "DBL_EPSILON", "LDBL_TRUE_MIN", "imaxdiv_t",
        "PRId8", "PRIxPTR", "SCNu64", "not", "xor_eq", "CHAR_BIT", "LLONG_MAX", "LC_ALL",
        "setlocale", "HUGE_VAL", "isnan", "sqrt", "sqrtf", "sqrtl", "exp10m1f", "fmaximum_mag_num",
        "faddl", "dadd", "jmp_buf", "setjmp", "SIGINT", "SIG_DFL", "sig_atomic_t", "signal",
        "alignof", "va_list", "atomic_int", "atomic_fetch_add_explicit", "memory_order",
        "memory_order_seq_cst", "stdc_bit_width", "stdc_count_ones_ull", "false", "ckd_add", "NULL",
        "size_t", "offsetof", "unreachable", "int8_t", "uint_fast16_t", "uintmax_t", "INT8_MAX",
        "UINT64_C", "SIZE_MAX", "FILE", "EOF", "stdin", "stdout", "stderr", "printf", "gets",
        "malloc", "free", "exit", "RAND_MAX", "strtoull", "noreturn", "strlen", "memcpy", "strdup",
        "thrd_create", "mtx_t", "call_once", "time", "tm", "timespec_get", "char16_t", "mbrtoc8",
        "wint_t", "WEOF", "wcslen", "iswalpha", "towupper", "errno_t", "memcpy_s",
        // POSIX and embedded C library names of <errno.h> and <signal.h>
        "EPERM", "ENOENT", "EINTR", "EIO", "EAGAIN", "EWOULDBLOCK", "ENOTSUP", "ENOSHARE", "SIGBUS",
        "SIGUSR1", "SIGKILL", "SIGWINCH", "SIGRTMIN", "NSIG"};
    for (const char *name : suffixed) {
        QTest::addRow("suffixed: %s", name)
            << QString::fromLatin1(name) << QString::fromLatin1(name) + QLatin1Char('_');
    }
    QTest::newRow("sanitised into a keyword") << "in t"
                                              << "in_t";
    QTest::newRow("sanitised into a generated-file name") << "uint8-t"
                                                          << "uint8_t_";
    QTest::newRow("sanitised into a library name") << "std-in"
                                                   << "std_in";
    QTest::newRow("sanitised into errno_t") << "errno.t"
                                            << "errno_t_";
}

// Besides the expected symbol, checks the two laws the rest of the program
// relies on: a name passes unchanged exactly when symbolProblem has nothing
// against it, and what cSymbol makes is always acceptable.
void TestCSymbol::symbol()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString result = cSymbol(name);
    QCOMPARE(result, expected);
    QCOMPARE(symbolProblem(name).isEmpty(), result == name);
    QCOMPARE(isCIdentifier(name), result == name);
    QCOMPARE(symbolProblem(result), QString());
    QVERIFY(isCIdentifier(result));
    QCOMPARE(cSymbol(result), result);
}

void TestCSymbol::problem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem");

    QTest::newRow("acceptable") << "logo" << QString();
    QTest::newRow("leading digit")
        << "2fast"
        << "'2fast' is not a C identifier (letters, digits and '_', not starting with a digit)";
    QTest::newRow("hyphen")
        << "my-logo"
        << "'my-logo' is not a C identifier (letters, digits and '_', not starting with a digit)";
    QTest::newRow("non-ASCII letter")
        << QStringLiteral("café")
        << QStringLiteral("'café' is not a C identifier (letters, digits and '_', not starting "
                          "with a digit)");
    QTest::newRow("empty") << ""
                           << "the name is empty, and a C identifier needs at least a letter";
    QTest::newRow("underscore")
        << "_logo"
        << "'_logo' begins with an underscore, and C reserves such names at file scope";
    QTest::newRow("two underscores")
        << "__logo"
        << "'__logo' begins with two underscores, and C reserves such names";
    QTest::newRow("underscore and capital")
        << "_Logo"
        << "'_Logo' begins with an underscore and a capital letter, and C reserves such names";
    QTest::newRow("keyword") << "static"
                             << "'static' is a C keyword";
    QTest::newRow("keyword before reserved") << "_Bool"
                                             << "'_Bool' is a C keyword";
    QTest::newRow("keyword before library macro") << "bool"
                                                  << "'bool' is a C keyword";
    QTest::newRow("generated file before library type")
        << "uint8_t"
        << "'uint8_t' is used by the generated file";
    QTest::newRow("generated file, v9") << "lv_image_dsc_t"
                                        << "'lv_image_dsc_t' is used by the generated file";
    QTest::newRow("entry point") << "main"
                                 << "'main' is the program's entry point";
    QTest::newRow("library") << "errno"
                             << "'errno' is declared by the C standard library";
    QTest::newRow("library before reserved") << "_Exit"
                                             << "'_Exit' is declared by the C standard library";
    QTest::newRow("POSIX errno name") << "EPERM"
                                      << "'EPERM' is declared by the C standard library";
}

void TestCSymbol::problem()
{
    QFETCH(QString, name);
    QFETCH(QString, problem);
    QCOMPARE(symbolProblem(name), problem);
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
                                 << "img_2x";
    QTest::newRow("underscore first") << "/tmp/_2x.c"
                                      << "img__2x";
    QTest::newRow("keyword file name") << "/tmp/int.c"
                                       << "int_";
    QTest::newRow("library file name") << "/tmp/errno.c"
                                       << "errno_";
    QTest::newRow("main file name") << "/tmp/main.c"
                                    << "main_";
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
