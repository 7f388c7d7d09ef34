#include "imagetransform.h"

#include "formats.h"
#include "resample.h"

#include <QTransform>

namespace Convert {

namespace {

// The fully transparent rows and columns at the borders of image, or false
// when no pixel is visible.
bool transparentMargins(const QImage &image, TransformReport *report)
{
    if (!image.hasAlphaChannel())
        return true;
    const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
    const int w = alpha.width();
    const int h = alpha.height();
    const auto rowEmpty = [&alpha, w](int y) {
        const uchar *line = alpha.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (line[x])
                return false;
        }
        return true;
    };
    int top = 0;
    while (top < h && rowEmpty(top))
        ++top;
    if (top == h)
        return false;
    int bottom = h;
    while (rowEmpty(bottom - 1))
        --bottom;
    // The leftmost and rightmost visible columns of the rows in between.
    int left = w;
    int right = 0;
    for (int y = top; y < bottom; ++y) {
        const uchar *line = alpha.constScanLine(y);
        for (int x = 0; x < left; ++x) {
            if (line[x]) {
                left = x;
                break;
            }
        }
        for (int x = w; x > right; --x) {
            if (line[x - 1]) {
                right = x;
                break;
            }
        }
    }
    report->trimLeft = left;
    report->trimTop = top;
    report->trimRight = w - right;
    report->trimBottom = h - bottom;
    return true;
}

} // namespace

QRect visibleRect(const QImage &image)
{
    TransformReport margins;
    if (image.isNull() || !transparentMargins(image, &margins))
        return QRect();
    return QRect(margins.trimLeft, margins.trimTop,
                 image.width() - margins.trimLeft - margins.trimRight,
                 image.height() - margins.trimTop - margins.trimBottom);
}

namespace {

QString rectText(const QRect &rect)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(QString::number(rect.x()), QString::number(rect.y()), QString::number(rect.width()),
             QString::number(rect.height()));
}

QString sizeText(QSize size)
{
    return QStringLiteral("%1 x %2").arg(QString::number(size.width()),
                                         QString::number(size.height()));
}

ConvertResult outOfMemory(const QString &path, QSize size)
{
    return ConvertResult::notDecodable(
        path, QStringLiteral("no memory for an image of %1 pixels").arg(sizeText(size)));
}

} // namespace

ConvertResult applyTransforms(const TransformPlan &plan, QSize own, const QString &path,
                              QImage *image, TransformReport *report)
{
    TransformReport done;
    QImage result = *image;

    if (!plan.crop.isNull()) {
        if (!QRect(QPoint(0, 0), result.size()).contains(plan.crop)) {
            return ConvertResult::unsupported(
                path,
                QStringLiteral("--crop %1 reaches outside the image, which is %2 pixels")
                    .arg(rectText(plan.crop), sizeText(result.size())));
        }
        result = result.copy(plan.crop);
    }

    if (plan.trim) {
        if (!transparentMargins(result, &done)) {
            return ConvertResult::unsupported(
                path,
                QStringLiteral("--trim finds no visible pixel: the image (%1 pixels) is "
                               "fully transparent")
                    .arg(sizeText(result.size())));
        }
        const QRect kept(done.trimLeft, done.trimTop,
                         result.width() - done.trimLeft - done.trimRight,
                         result.height() - done.trimTop - done.trimBottom);
        if (kept.size() != result.size())
            result = result.copy(kept);
    }

    // Rotations by quarter turns and mirrors move pixels without
    // resampling them.
    if (plan.rotation == 90 || plan.rotation == 270)
        result = result.transformed(QTransform().rotate(plan.rotation));
    if (plan.rotation == 180 || plan.flipHorizontal || plan.flipVertical) {
        const bool half = plan.rotation == 180;
        result = result.mirrored(half != plan.flipHorizontal, half != plan.flipVertical);
    }

    if (plan.scaling != TransformPlan::Scaling::None) {
        const QSize target =
            plan.cutsImage() ? plan.scaledSize(result.size()) : plan.finalSize(own);
        if (qint64(target.width()) * target.height() > DecodeBudgetPixels)
            return ConvertResult::overBudget(path, target);
        QImage scaled = resampled(result, target);
        if (scaled.isNull())
            return outOfMemory(path, target);
        result = std::move(scaled);
    }

    if (result.isNull())
        return outOfMemory(path, image->size());
    done.finalSize = result.size();
    *image = std::move(result);
    if (report)
        *report = done;
    return ConvertResult::success();
}

QString trimNote(const TransformReport &report)
{
    return QStringLiteral("--trim cut %1 pixels on the left, %2 at the top, %3 on the right and "
                          "%4 at the bottom")
        .arg(QString::number(report.trimLeft), QString::number(report.trimTop),
             QString::number(report.trimRight), QString::number(report.trimBottom));
}

} // namespace Convert
