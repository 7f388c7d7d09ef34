#ifndef LVCONF_H
#define LVCONF_H

#include <carrayreader.h>

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <memory>

namespace Convert {

// The #defines of an LVGL configuration header (lv_conf.h, or lv_version.h
// for the version), read the way the preprocessor reads them, never
// compiled:
// - #define of object-like macros, #undef, #if, #elif, #else, #endif,
//   #ifdef, #ifndef and defined(), with comments and line continuations;
// - a condition is evaluated with the C reader's evaluator (cevaluator.h):
//   a name that is no macro is 0, as it is to a compiler (the constants the
//   library's headers define before including lv_conf.h, LV_OS_NONE say,
//   are unknown here and 0 too); a condition the evaluator cannot read (a
//   macro with arguments, __has_include) is taken as false, with a note;
// - #include is not followed, and every other directive and all C text
//   between the directives is passed over.
// A value is evaluated when asked for, with the macros as they stand at the
// end of the file, as the library's own headers see them. A value that is
// no integer expression (a string, a function call) is "not set", with a
// note; only the colour macros lv_color_hex(0xRRGGBB) and
// lv_color_make(r, g, b) are read as colours.
//
// Limits: those of the C reader's budget (carrayreader.h), so a hostile
// file costs time and memory in proportion to its size.
class LvConf
{
public:
    // Reads the file at path; false with errorString() naming the file
    // and the reason when it cannot be read or is not a header (a comment
    // or a conditional that never ends).
    bool readFile(const QString &path);
    // Reads text, named name in messages ("lv_conf.h").
    bool read(const QByteArray &text, const QString &name);
    QString errorString() const { return m_error; }
    // "lv_conf.h", as messages name the file (the path as given).
    QString name() const { return m_name; }

    // Whether the name is defined at the end of the file; its line.
    bool isDefined(const QByteArray &name, int *line = nullptr) const;
    // The value of a defined name as an integer expression; false when it
    // is not defined or its value is none (a note says so).
    bool value(const QByteArray &name, qint64 *value, int *line = nullptr) const;
    // A colour: lv_color_hex(V), lv_color_make(R, G, B) or a number.
    bool colour(const QByteArray &name, QRgb *colour, int *line = nullptr) const;
    // The names defined at the end of the file.
    QList<QByteArray> names() const;

    // What was passed over: conditions taken as false, values not
    // understood; "lv_conf.h:12: ...", one line each, for -v.
    QStringList notes() const;

private:
    struct Data;
    bool fail(int line, const QString &message);
    void note(int line, const QString &message) const;
    bool evaluate(int begin, int end, int line, qint64 *value, QString *error) const;

    QString m_name;
    QString m_error;
    std::shared_ptr<Data> m_data; // shared by copies, which only read it
};

} // namespace Convert

#endif // LVCONF_H
