#ifndef CARRAYREADER_H
#define CARRAYREADER_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

// Reads the C source of an LVGL image: byte arrays and one image
// descriptor (lv_img_dsc_t or lv_image_dsc_t), as this program and other
// converters write them. It knows C's syntax, not LVGL's meaning: the
// descriptor's fields come back as expressions, which the caller evaluates
// with the names it knows (lvgldecoder.cpp).
//
// What it reads:
// - a UTF-8 byte-order mark at the start, which compilers skip too;
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
// Anything else is an error naming its line: the reader never guesses. Text
// quoted in an error shows every byte outside printable ASCII as \xNN.
//
// The file is read for one LV_COLOR_DEPTH setting (8, 16, 16 with
// LV_COLOR_16_SWAP, or 32), whose conditional sections give the bytes.
// All four settings are followed in the same pass: the reader knows which
// of them have a section of their own in the array, and keeps each one's
// bytes, so that forSetting() gives the file as read for another setting
// without a second pass (one is made only when the declarations themselves
// differ between the settings).
//
// Limits: the text is read once, front to back, without copying it; an
// array holds as many bytes as its text has numbers, and the array .data
// names at most 16 MiB of zeros more when it is declared longer. Values are
// 64-bit; an expression that overflows, divides by zero or shifts by more
// than 62 is an error. Macros expand at most 32 levels deep and to at most
// 4096 tokens in one expression; a field's value or an array's size holds
// at most 4096 tokens; parentheses and unary operators nest at most 200
// deep. One budget covers the whole file, proportional to its size: the
// tokens its conditions, sizes and fields expand to (1 Mi plus 4 per byte)
// and the memory its definitions, arrays and open conditionals take (1 MiB
// plus one byte per byte). A file past either is "too complex to read", so
// the reader's time stays linear in the file's size and its memory within a
// small multiple of it.
namespace Convert {

namespace CReader {
class Parser;
}

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
    // Number: its value. Punctuator: its characters, the first in the low
    // byte, so that an operator is told by one comparison.
    quint64 value = 0;
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

// What a frame set declares beside its descriptors (see lvgldecoder.h): an
// array of pointers to the descriptors, uint32_t values and an array of
// them.
struct CPointerArray
{
    QVector<QByteArray> names; // the descriptors, in order
    int line = 0;
};
struct CWordArray
{
    QVector<quint64> values;
    int line = 0;
};
struct CScalar
{
    CExpression value;
    int line = 0;
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

    // A #define of the file. Its body stays in the text and is read each
    // time the macro is expanded, so a long one costs nothing until used.
    struct Macro
    {
        bool function = false; // takes arguments: never expanded, an error where used
        int begin = 0; // the body: text from begin to end
        int end = 0;
        int line = 0; // the line the body starts on
    };
    using Macros = QHash<QByteArray, Macro>;

    explicit CArrayReader(Setting setting);

    // Reads text. On failure errorString() says why, starting with the line
    // ("line 12: ...").
    bool read(const QByteArray &text);
    QString errorString() const { return m_error; }
    bool ok() const { return m_read && m_error.isEmpty(); }
    Setting setting() const { return m_setting; }

    // After a successful read: the file as read for another setting, from
    // the same pass. Its errorString() says why that setting cannot be read
    // (a broken section, an #error for that depth).
    CArrayReader forSetting(Setting setting) const;

    // After a successful read.
    const CImageSource &image() const { return m_image; }

    // A frame set holds several descriptors, listed by an array of
    // pointers, and uint32_t values beside them. After a successful read:
    // every descriptor in the order of the file (the first is image()),
    // with .data resolved; the reader of descriptor index (its image(),
    // fields and forSetting()).
    int descriptorCount() const;
    const CImageSource &descriptor(int index) const;
    CArrayReader descriptorReader(int index) const;
    const QHash<QByteArray, CPointerArray> &pointerArrays() const;
    const QHash<QByteArray, CWordArray> &wordArrays() const;
    const CScalar *scalar(const QByteArray &name) const;
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

    // What one pass found for every setting (carrayreader.cpp).
    struct Pass;
    // The file's budget, shared by every evaluation of it.
    struct Budget;
    // One descriptor's .data for every setting.
    struct ResolvedData;

private:
    bool fail(int line, const QString &message);
    bool resolveData(const CReader::Parser &parser, const Pass &pass, CImageSource *image,
                     ResolvedData *resolved);

    Setting m_setting;
    bool m_read = false;
    QByteArray m_text;
    QString m_error;
    CImageSource m_image;
    Macros m_macros; // for the depth setting read
    std::shared_ptr<const Pass> m_pass;
    std::shared_ptr<Budget> m_budget;
    int m_descriptor = -1; // a descriptor reader's descriptor; -1 for the file's reader
};

} // namespace Convert

#endif // CARRAYREADER_H
