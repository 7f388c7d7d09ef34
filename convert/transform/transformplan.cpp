#include "transformplan.h"

#include <QStringList>

namespace Convert {

namespace {

// The largest side an option takes. What a conversion may allocate is
// checked against the decoding budget before any pixel is made; this only
// keeps the arithmetic below far from overflow.
constexpr int MaxOptionSide = 65535;

// A whole number from 0 to MaxOptionSide, in decimal digits only (no sign,
// no spaces), or -1.
int sideValue(const QString &text)
{
    if (text.isEmpty() || text.size() > 5)
        return -1;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    const int value = text.toInt();
    return value <= MaxOptionSide ? value : -1;
}

// a * b / c rounded to the nearest whole number, halves up, at least 1.
int scaledSide(qint64 a, qint64 b, qint64 c)
{
    return int(qMax<qint64>(1, (2 * a * b + c) / (2 * c)));
}

} // namespace

bool TransformPlan::isIdentity() const
{
    return crop.isNull() && !trim && rotation == 0 && !flipHorizontal && !flipVertical
        && scaling == Scaling::None;
}

QSize TransformPlan::scaledSize(QSize before) const
{
    if (scaling == Scaling::None || before.isEmpty())
        return before;
    const qint64 w = before.width();
    const qint64 h = before.height();
    const qint64 boxW = box.width();
    const qint64 boxH = box.height();
    if (scaling == Scaling::Resize && boxW > 0 && boxH > 0)
        return box;
    // Fit, or resize with one side left out: the width sets the scale when
    // only it is given, or when the box is narrower than the image's
    // aspect ratio (boxW / w <= boxH / h).
    const bool byWidth = boxH == 0 || (boxW > 0 && boxW * h <= boxH * w);
    if (byWidth)
        return QSize(int(boxW), scaledSide(h, boxW, w));
    return QSize(scaledSide(w, boxH, h), int(boxH));
}

QSize TransformPlan::finalSize(QSize own) const
{
    QSize size = crop.isNull() ? own : crop.size();
    if (rotation == 90 || rotation == 270)
        size.transpose();
    return scaledSize(size);
}

QSize TransformPlan::wantedDecodeSize(QSize own) const
{
    if (cutsImage() || scaling == Scaling::None)
        return own;
    QSize size = finalSize(own);
    if (rotation == 90 || rotation == 270)
        size.transpose();
    return size;
}

QString TransformPlan::parseCrop(const QString &value, TransformPlan *plan)
{
    const QStringList parts = value.split(QLatin1Char(','));
    int numbers[4] = {-1, -1, -1, -1};
    if (parts.size() == 4) {
        for (int i = 0; i < 4; ++i)
            numbers[i] = sideValue(parts.at(i));
    }
    for (const int n : numbers) {
        if (n < 0) {
            return QStringLiteral("--crop takes X,Y,W,H: four whole numbers of pixels, the "
                                  "left and top edges, then the width and height, not '%1'")
                .arg(value);
        }
    }
    if (numbers[2] == 0 || numbers[3] == 0)
        return QStringLiteral("--crop %1 keeps no pixels: its width and height must be at "
                              "least 1")
            .arg(value);
    plan->crop = QRect(numbers[0], numbers[1], numbers[2], numbers[3]);
    return QString();
}

QString TransformPlan::parseRotation(const QString &value, TransformPlan *plan)
{
    for (const int degrees : {90, 180, 270}) {
        if (value == QString::number(degrees)) {
            plan->rotation = degrees;
            return QString();
        }
    }
    return QStringLiteral("--rotate takes 90, 180 or 270 (degrees clockwise), not '%1'").arg(value);
}

QString TransformPlan::parseFlip(const QString &value, TransformPlan *plan)
{
    if (value == QLatin1String("h")) {
        plan->flipHorizontal = true;
    } else if (value == QLatin1String("v")) {
        plan->flipVertical = true;
    } else {
        return QStringLiteral("--flip takes h (mirror left to right) or v (upside down), not "
                              "'%1'")
            .arg(value);
    }
    return QString();
}

QString TransformPlan::parseScaling(const QString &option, const QString &value,
                                    TransformPlan *plan)
{
    const int x = value.indexOf(QLatin1Char('x'));
    const QString widthText = x < 0 ? QString() : value.left(x);
    const QString heightText = x < 0 ? QString() : value.mid(x + 1);
    const int width = widthText.isEmpty() ? 0 : sideValue(widthText);
    const int height = heightText.isEmpty() ? 0 : sideValue(heightText);
    if (x < 0 || width < 0 || height < 0 || (widthText.isEmpty() && heightText.isEmpty())) {
        return QStringLiteral("--%1 takes WxH, Wx or xH in pixels (such as 240x160, 240x or "
                              "x160), not '%2'")
            .arg(option, value);
    }
    if ((!widthText.isEmpty() && width == 0) || (!heightText.isEmpty() && height == 0))
        return QStringLiteral("--%1 %2 makes an image with no pixels: a side given must be at "
                              "least 1")
            .arg(option, value);
    plan->scaling = option == QLatin1String("fit") ? Scaling::Fit : Scaling::Resize;
    plan->box = QSize(width, height);
    return QString();
}

} // namespace Convert
