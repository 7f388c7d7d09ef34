#ifndef TRANSFORMPLAN_H
#define TRANSFORMPLAN_H

#include <QRect>
#include <QSize>
#include <QString>

// What is done to a decoded image before its pixels are packed, in this
// order:
//   1. crop: keep the rectangle X,Y,W,H of the image as decoded;
//   2. trim: cut away every fully transparent row and column at the borders;
//   3. rotate by 90, 180 or 270 degrees clockwise, then flip: h mirrors left
//      to right, v upside down;
//   4. scale: resize to W x H exactly, or fit into W x H keeping the aspect
//      ratio. Either side of W x H may be left out (0 here): the other one
//      then sets the scale.
// A default plan does nothing, and the engine then never touches the image.
namespace Convert {

struct TransformPlan
{
    enum class Scaling { None, Resize, Fit };

    QRect crop; // null for none
    bool trim = false;
    int rotation = 0; // 0, 90, 180 or 270, clockwise
    bool flipHorizontal = false;
    bool flipVertical = false;
    Scaling scaling = Scaling::None;
    QSize box; // the --resize or --fit size; a side of 0 is left out

    bool isIdentity() const;
    // Whether the size before scaling depends on the image's own pixels
    // at its own scale (a crop is in its pixels, a trim reads them).
    bool cutsImage() const { return !crop.isNull() || trim; }

    // The size step 4 makes of an image of size before (steps 1 to 3
    // done). Fit makes the largest size inside the box with the aspect
    // ratio of before, enlarging as well as reducing; the side that does
    // not fill the box is rounded to the nearest pixel (halves up) and is
    // at least 1. Resize with one side left out works the same way; with
    // both given it is the box.
    QSize scaledSize(QSize before) const;
    // The size of the result for an image whose own size is own, taking
    // a trim to cut nothing (what it cuts is known only from the pixels).
    QSize finalSize(QSize own) const;
    // The size the source stage should decode at, for a decoder that can
    // decode at a reduced scale or render at any size: the final size
    // turned back to the source's orientation. With a crop or a trim,
    // which work in the image's own pixels, it is own.
    QSize wantedDecodeSize(QSize own) const;

    // The option values of the command line, parsed into plan. Each
    // returns an empty string, or what is wrong with value in a sentence
    // that names the option.
    static QString parseCrop(const QString &value, TransformPlan *plan);
    static QString parseRotation(const QString &value, TransformPlan *plan);
    static QString parseFlip(const QString &value, TransformPlan *plan);
    // option is "resize" or "fit".
    static QString parseScaling(const QString &option, const QString &value, TransformPlan *plan);
};

// Cropped, trimmed (what trim cut on each side) and the final size, as the
// engine reports them.
struct TransformReport
{
    int trimLeft = 0;
    int trimTop = 0;
    int trimRight = 0;
    int trimBottom = 0;
    QSize finalSize;
};

} // namespace Convert

#endif // TRANSFORMPLAN_H
