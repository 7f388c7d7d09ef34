#ifndef ANIMATION_H
#define ANIMATION_H

#include "convertresult.h"
#include "imagesource.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

// Reading every frame of an animated source (GIF, animated WebP).
//
// Frames are composited as the source format says: a GIF's disposal
// methods (none, leave, restore to background, restore to previous) and
// transparent index, a WebP's blending and disposal. Each frame is the
// whole canvas as it is shown, so frames can be converted on their own. A
// still image of any kind is an animation of one frame.
namespace Convert {

// One frame as shown: a canvas-sized ARGB32 image (not premultiplied).
struct AnimationFrame
{
    QImage image;
    // How long the frame is shown, in milliseconds, as the file says it
    // (a GIF's delay in 10 ms steps times 10; a zero delay stays 0). A
    // still image's frame has 0.
    int delayMs = 0;
};

// What the headers of an animation say, read without decoding a pixel.
struct AnimationInfo
{
    ImageKind kind = ImageKind::Unknown;
    QSize canvas;
    int frameCount = 0;
    QVector<int> delaysMs; // one per frame, as AnimationFrame::delayMs
    // How often the animation plays: 0 for ever (a GIF's NETSCAPE2.0 loop
    // count of 0, a WebP's loop count of 0); a GIF without the extension
    // plays once (1).
    int loopCount = 1;
    // GIF only: "87a" or "89a"; whether a global colour table follows the
    // screen descriptor; whether some frame has disposal method 3 (restore
    // to previous).
    QByteArray gifVersion;
    bool globalColorTable = false;
    bool restoresToPrevious = false;
};

// A decoded animation.
struct Animation
{
    AnimationInfo info;
    QByteArray bytes; // the file's content, unchanged
    QVector<AnimationFrame> frames;
};

// Reads the frame headers of data (a whole file in memory); path only names
// the source in the result. A still image gives one frame. Fails as
// readSourceImage() does for a file that is not an image or whose headers
// are cut short or corrupt.
ConvertResult readAnimationInfo(const QByteArray &data, const QString &path, AnimationInfo *info);

// Reads and decodes every frame of path. The decoding budget counts all the
// frames together (canvas x frame count): an animation past it is refused
// from its headers, before a pixel is decoded, with its size and frame
// count in the message. request.maxSide applies to the canvas. A truncated
// or corrupt frame, the last one included, fails the whole file. Other
// failures as readSourceImage(). Thread-safe.
ConvertResult readAnimation(const QString &path, const DecodeRequest &request,
                            Animation *animation);
// The same for a whole file already in memory (an embedded GIF, say); path
// only names the source in the result.
ConvertResult readAnimationData(const QByteArray &data, const QString &path,
                                const DecodeRequest &request, Animation *animation);

} // namespace Convert

#endif // ANIMATION_H
