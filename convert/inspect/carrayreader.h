#ifndef CARRAYREADER_H
#define CARRAYREADER_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Reads the C source of an LVGL image: byte arrays and one image
// descriptor (lv_img_dsc_t or lv_image_dsc_t), as this program and other
// converters write them. It knows C's syntax, not LVGL's meaning: the
// descriptor's fields come back as expressions, which the caller evaluates
// with the names it knows (lvgldecoder.cpp).
//
// What it reads:
// - comments of both kinds, line continuations, any line layout;
// - preprocessor conditionals (#if, #ifdef, #ifndef, #elif, #else,
//   #endif) with ==, !=, <, >, <=, >=, !, &&, ||, arithmetic, parentheses
//   and defined(); the file's own #defines; #include, #pragma and
//   #warning are ignored, and an #error at the depth read stops it;
// - declarations of byte arrays (uint8_t or unsigned char, with any
//   qualifiers and attribute macros, a size or none) initialised with a
//   list of numbers from 0 to 255 in hex, octal or decimal;
// - one descriptor whose fields are named by designated initialisers in any
//   order (".header.cf = ...", or ".header = { .cf = ... }");
// - LV_IMG_DECLARE() and LV_IMAGE_DECLARE() lines, and declarations
//   without an initialiser, which it skips.
// Anything else is an error naming its line: the reader never guesses.
//
// The file is read for one LV_COLOR_DEPTH setting (8, 16, 16 with
// LV_COLOR_16_SWAP, or 32), whose conditional sections give the bytes.
// All four settings are followed in the same pass, so the reader also
// knows which of them have a section of their own in the array.
//
// Limits: the text is read once, front to back, without copying it; an
// array holds as many bytes as its text has numbers, and at most 16 MiB of
// zeros more when it is declared longer. Values are 64-bit; an expression
// that overflows, divides by zero or shifts by more than 62 is an error.
// Macros expand at most 32 levels deep and to at most 4096 tokens;
// parentheses and unary operators nest at most 200 deep.
namespace Convert {

// One token of an expression, pointing into the text.
struct CToken
{
    enum Kind : quint8 { End, Identifier, Number, Punctuator, String, Other };
    Kind kind = End;
    quint8 mask = 0; // the depth settings (bits of CArrayReader::Setting) it is read in
    bool tooLarge = false; // a number past 2^63 - 1
    int line = 0;
    int offset = 0;
    int length = 0;
    quint64 value = 0; // Number
};
using CExpression = QVector<CToken>;

// The descriptor of a C image file, read for one depth setting.
struct CImageSource
{
    QByteArray type; // "lv_img_dsc_t" or "lv_image_dsc_t"
    QByteArray name;
    int line = 0;
    // The fields as named, without the leading dot: "header.cf", "header.w",
    // "data_size", "data", ...
    struct Field
    {
        QByteArray name;
        CExpression value;
        int line = 0;
    };
    QVector<Field> fields;
    QByteArray arrayName; // the array .data points to
    int arrayLine = 0;
    QByteArray data; // its bytes for the depth setting read
    // The depth settings ("8", "16", "16swap", "32") for which the array
    // holds bytes of their own; empty when its bytes are the same for all.
    QStringList sections;
};

class CArrayReader
{
public:
    // The LV_COLOR_DEPTH settings the reader follows.
    enum Setting { Depth8, Depth16, Depth16Swap, Depth32, SettingCount };
    static QString settingName(Setting setting);

    // Names the caller gives a value to (LVGL's constants): returns false
    // for a name it does not know.
    using Lookup = std::function<bool(const QByteArray &name, qint64 *value)>;

    // A #define of the file.
    struct Macro
    {
        bool function = false; // takes arguments: never expanded, an error where used
        CExpression body;
    };
    using Macros = QHash<QByteArray, Macro>;

    explicit CArrayReader(Setting setting);

    // Reads text. On failure errorString() says why, starting with the line
    // ("line 12: ...").
    bool read(const QByteArray &text);
    QString errorString() const { return m_error; }

    // After a successful read.
    const CImageSource &image() const { return m_image; }
    // Whether the field was given; its line or 0.
    const CImageSource::Field *field(const char *name) const;

    // Evaluates an expression of the file for the depth setting read:
    // numbers, operators, parentheses, sizeof(array) and sizeof array, the
    // file's own macros, LV_COLOR_DEPTH and LV_COLOR_16_SWAP, and the names
    // lookup knows. On failure error says why, with the line.
    bool evaluate(const CExpression &expression, const Lookup &lookup, qint64 *value,
                  QString *error) const;
    // The expression's text, as written.
    QString text(const CExpression &expression) const;

private:
    bool fail(int line, const QString &message);

    const Setting m_setting;
    QByteArray m_text;
    QString m_error;
    CImageSource m_image;
    Macros m_macros; // for the depth setting read
    QHash<QByteArray, qint64> m_arraySizes;
};

} // namespace Convert

#endif // CARRAYREADER_H
