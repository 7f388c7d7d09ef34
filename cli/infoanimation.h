#ifndef INFOANIMATION_H
#define INFOANIMATION_H

#include <lvgldecoder.h>

#include <QJsonObject>
#include <QString>

// What "inspect" says about an animation: a frame set's frames or an
// embedded GIF's, their delays, the duration, the loop count and the GIF
// player's RAM.

// Appends the lines of the text report to text, in its "  key: value"
// layout.
void describeAnimation(const Convert::LvglAnimationInfo &animation, QString *text);
// The same facts for --json.
QJsonObject animationFacts(const Convert::LvglAnimationInfo &animation);

#endif // INFOANIMATION_H
