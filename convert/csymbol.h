#ifndef CSYMBOL_H
#define CSYMBOL_H

#include <QString>

namespace Convert {

// A generated C file names two symbols after the image: "<name>_map" for the
// pixel array and "<name>" for the descriptor. These helpers make sure that
// name is a C identifier, so the file always compiles.

// True when name is a C identifier (letters, digits and '_', not starting
// with a digit) and not a C keyword.
bool isCIdentifier(const QString &name);

// name unchanged when it already is a C identifier. Otherwise every
// character outside A-Z, a-z, 0-9 and '_' becomes '_', a leading digit gets
// a '_' prefix and a keyword a '_' suffix; an empty name becomes "image".
// Examples: "my-logo" -> "my_logo", "2x" -> "_2x", "int" -> "int_".
QString cSymbol(const QString &name);

// The symbol of an output file: its base name (the file name up to the
// first dot) made a C identifier. "out/logo.small.c" -> "logo", ".c" -> "image".
QString cSymbolForPath(const QString &outputPath);

} // namespace Convert

#endif // CSYMBOL_H
