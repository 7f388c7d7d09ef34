#ifndef IMAGETRANSFORM_H
#define IMAGETRANSFORM_H

#include "convertresult.h"
#include "transformplan.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace Convert {

// Applies plan to *image, step by step in the plan's order. own is the
// source's own size, from its header: without a crop or a trim the image
// may have been decoded at another scale (TransformPlan::wantedDecodeSize),
// and the final size is still the one that own gives, so that it does not
// depend on how a decoder chose to scale.
//
// Failures, with path naming the source: a crop that reaches outside the
// image (the reason gives the image's size), a trim of an image with no
// visible pixel, a final size past the decoding budget (checked before it
// is allocated) and a lack of memory. *image is left as it was then.
// report, if given, says what trim cut on each side and the final size.
ConvertResult applyTransforms(const TransformPlan &plan, QSize own, const QString &path,
                              QImage *image, TransformReport *report = nullptr);

// The smallest rectangle holding every pixel of image that is not fully
// transparent (what a trim keeps); a null rectangle when none is visible.
QRect visibleRect(const QImage &image);

// What a trim cut, in a sentence for the notes: "--trim cut 3 pixels on the
// left, 0 at the top, 2 on the right and 1 at the bottom".
QString trimNote(const TransformReport &report);

} // namespace Convert

#endif // IMAGETRANSFORM_H
