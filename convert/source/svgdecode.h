#ifndef SVGDECODE_H
#define SVGDECODE_H

#include "headerreader.h"
#include "imagekinds.h"
#include "imagesource.h"

#include <convertresult.h>

#include <QByteArray>
#include <QImage>
#include <QSizeF>

namespace Convert {
namespace Reading {

// SVG: XML text whose root element is <svg>. Before the root may come a
// UTF-8 byte order mark, white space, the XML declaration and other
// processing instructions (<?...?>), comments (<!--...-->) and a
// <!DOCTYPE svg ...> declaration, with or without an internal subset in
// brackets. All of it must end, and the root start, within the first
// SniffHeadBytes of the file.
//
// The size is the root's own: its width and height attributes, in pixels
// when they have no unit or "px", converted at 96 pixels an inch from in,
// cm, mm, Q, pt and pc; percentages and font-relative units say nothing
// about a size and count as absent. A side that is absent is taken from
// the viewBox's aspect ratio ("min-x min-y width height"), and with both
// absent the viewBox's width and height are the size. Fractions of a pixel
// round up, as librsvg advises for its intrinsic size (less a thousandth,
// so that 5291.66667mm stays 20000 pixels). The root element is
// parsed here rather than by librsvg, so that the header costs a read of a
// few kilobytes and no XML parser runs outside the renderer's process.

// The own size in CSS pixels, unrounded, from the root's start tag
// ("<svg ... >"). Empty, with the reason in *detail, when the attributes
// give none or give a side of zero or less (a side that cannot be a
// length counts as absent), or when the tag is not well-formed
// (*wellFormed false).
QSizeF svgDeclaredSize(const QByteArray &rootTag, QString *detail, bool *wellFormed);

// Whether head (the first bytes of a file) holds an SVG prologue and the
// start of its root element.
bool sniffSvg(const uchar *head, int size);

// The size from the root element's attributes.
HeaderStatus readSvgHeader(HeaderReader &in, ImageProbe *probe, QString *detail);

// Renders an SVG with librsvg at input.wanted, in a child process that
// holds nothing but the data and the pixels (see svgdecode.cpp), so that
// no SVG can read another file or a URL, run for longer than the render
// deadline or take more than RenderMemoryBytes beyond the process's own.
ConvertResult decodeSvg(const DecodeInput &input, QImage *image);

// How long one render may take before its process is stopped.
constexpr int SvgRenderDeadlineMs = 10000;
// Sets the render deadline for every later render (the tests shorten it);
// 0 restores SvgRenderDeadlineMs. Thread-safe.
void setSvgRenderDeadline(int milliseconds);
int svgRenderDeadline();

} // namespace Reading
} // namespace Convert

#endif // SVGDECODE_H
