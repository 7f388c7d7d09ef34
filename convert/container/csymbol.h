#ifndef CSYMBOL_H
#define CSYMBOL_H

#include <QString>

namespace Convert {

// A generated C file names two symbols after the image: "<stem>_map" for the
// pixel array and "<stem>" for the descriptor, both at file scope. These
// helpers choose a stem that compiles and links beside the LVGL header and
// the C library's headers and is not reserved to the implementation.
//
// A stem is acceptable when it is a C identifier (ASCII letters, digits and
// '_', not starting with a digit) that
// - does not begin with '_' (C reserves "__x" and "_X" everywhere and every
//   "_x" at file scope),
// - is not a C keyword,
// - is no identifier the generated file itself uses (uint8_t, lv_img_dsc_t,
//   LV_COLOR_DEPTH, ...),
// - is not "main",
// - and is not a name the C standard library declares (NULL, errno, stdin,
//   strlen, SIGINT, ...), including the POSIX errno and signal names that
//   embedded C libraries declare in <errno.h> and <signal.h>.

// The reason name is not acceptable unchanged as a stem, as one short
// English sentence naming it (for a usage error of the command line's
// --name), or an empty string when it is acceptable.
QString symbolProblem(const QString &name);

// True when name is acceptable unchanged as a stem, that is when
// symbolProblem(name) is empty.
bool isCIdentifier(const QString &name);

// name unchanged when it is acceptable. Otherwise every character outside
// A-Z, a-z, 0-9 and '_' becomes '_' (a character outside the BMP becomes
// one '_'), a name that then begins with a digit or '_' gets the prefix
// "img_", and one that is a keyword or a name of the generated file, of the
// program or of the C library gets a '_' suffix; an empty name becomes
// "image". The result is always acceptable, so cSymbol(cSymbol(x)) ==
// cSymbol(x).
// Examples: "my-logo" -> "my_logo", "2x" -> "img_2x", "_logo" -> "img__logo",
// "int" -> "int_", "uint8_t" -> "uint8_t_", "NULL" -> "NULL_", "main" -> "main_".
QString cSymbol(const QString &name);

// The symbol of an output file: its base name (the file name up to the
// first dot) made acceptable by cSymbol. "out/logo.small.c" -> "logo",
// ".c" -> "image", "2x.c" -> "img_2x".
QString cSymbolForPath(const QString &outputPath);

} // namespace Convert

#endif // CSYMBOL_H
