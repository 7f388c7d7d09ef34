#ifndef REFERENCEENCODER_H
#define REFERENCEENCODER_H

#include <formats.h>

#include <QByteArray>
#include <QImage>
#include <QString>

// The plainest possible encoder of every output: one QImage::pixelColor()
// call per pixel and one formatted print per byte into a string, line by
// line. It is the oracle the engine's fast paths are checked against and
// the baseline the benchmarks measure them by. symbol is used as given.
//
// Banner line 7 (the build's author line) is taken from the engine; the
// tests check that line on its own.
// Line 7 of the banner as the engine writes it (UTF-8, no line end).
QByteArray engineAuthorLine();

QByteArray referenceEncode(const QImage &image, Convert::OutputFormat output,
                           Convert::ColorFormat color, const QString &symbol);

#endif // REFERENCEENCODER_H
