#ifndef ENCODEDFILES_H
#define ENCODEDFILES_H

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QVector>

// WebP and GIF files written in code by the formats' own libraries, for
// tests that compare what the engine decodes with the image that went in.
namespace EncodedFiles {

// image (converted to ARGB32) as a still WebP: lossless, keeping the colour
// of transparent pixels, or lossy at quality 0..100.
QByteArray webp(const QImage &image, bool lossless, int quality = 90);
// The frames (each of the first frame's size) as a lossless animated WebP.
QByteArray webpAnimation(const QVector<QImage> &frames);

// One frame of an animated WebP put together by libwebp's muxer as given,
// so that its blending and disposal are the test's choice.
struct WebpFrame
{
    QImage image; // lossless, placed at an even offset
    QPoint at;
    int durationMs = 100;
    bool blend = true; // alpha-blended over the canvas, else it replaces it
    bool disposeToBackground = false; // its rectangle is cleared after it
};
QByteArray webpFrames(QSize canvas, const QVector<WebpFrame> &frames, int loopCount = 0);

// One image of a GIF: image is Indexed8, its colour table the palette.
struct GifFrame
{
    QImage image;
    QPoint at; // its place on the canvas
    bool localTable = false; // its palette as a local colour table
    bool interlaced = false;
    int transparent = -1; // a graphic control extension with this index
    // A graphic control extension with this disposal method or this delay
    // (in 10 ms steps; -1 none of its own: 10 where an extension is
    // written).
    int disposal = 0;
    int delayCs = -1;
};

// A GIF89a of canvas size whose global colour table is the first frame's
// palette, unless that frame has a local one. With a loopCount of 0 or
// more, a NETSCAPE2.0 extension gives it.
QByteArray gif(QSize canvas, const QVector<GifFrame> &frames, int loopCount = -1);

// What a frame drawn on a transparent canvas gives: its palette's colours,
// opaque, except the transparent index.
QImage gifCanvas(QSize canvas, const GifFrame &frame);
// Draws frame onto canvas (ARGB32) so.
void drawGifFrame(QImage *canvas, const GifFrame &frame);

} // namespace EncodedFiles

#endif // ENCODEDFILES_H
