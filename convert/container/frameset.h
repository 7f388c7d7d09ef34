#ifndef FRAMESET_H
#define FRAMESET_H

#include "imagesource.h"
#include "outputplan.h"
#include "remarks.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class QIODevice;

// The frames of an animation as one output, for LVGL's animation image
// widget (lv_animimg), which steps through an array of image descriptors
// and shows each for the same share of one duration.
//
// The C file (stem NAME):
//   - the banner, include and attribute lines of the version's single-image
//     file, once;
//   - for each frame i in order, its array NAME_<i>_map[] and descriptor
//     NAME_<i>, each exactly as the single-image file of that frame has
//     them. A frame equal to the one before it (same pixels, so the same
//     bytes) has no array: its descriptor's .data names the earlier array,
//     with the same data_size. Descriptor i is always NAME_<i>;
//   - then
//       const void * const NAME_frames[] = { &NAME_0, &NAME_1, ... };
//       const uint32_t NAME_frame_count = N;
//       const uint32_t NAME_frame_ms[] = { d0, d1, ... };
//       const uint32_t NAME_duration_ms = d0 + d1 + ...;
//       const uint32_t NAME_loop_count = L;   (0: for ever)
//   - and the end marker.
// The widget keeps the count in an int8_t, so a set holds 1 to MaxFrames
// frames.
//
// The .bin form is a folder of 000.bin, 001.bin, ... (each the single-image
// .bin of its frame; an equal frame still has its own file) and frames.txt,
// a line "000.bin 100" (the file's name, a space, the delay in ms) per
// frame.
namespace Convert {

struct FrameSet
{
    // The most frames lv_animimg can step through.
    static constexpr int MaxFrames = 127;

    struct Frame
    {
        SourceImage source; // the frame as it is encoded
        int delayMs = 0;
        // The earlier frame whose array this one shows, or -1 for its own.
        int sharesWith = -1;
    };
    QVector<Frame> frames;
    int loopCount = 0;

    qint64 durationMs() const;
    // Marks each frame equal to the one before it as showing that one's
    // array (or the array that one shows). Returns how many frames share.
    int shareEqualFrames();
};

// The C file of set (see above), symbol the stem of its names.
bool writeFrameSetC(const OutputPlan &plan, const FrameSet &set, const QByteArray &symbol,
                    QIODevice *device, QString *error, Remarks *remarks);

// The name of frame i's file in the .bin folder: "000.bin".
QString frameFileName(int frame);
// frames.txt of set.
QByteArray frameListText(const FrameSet &set);

} // namespace Convert

#endif // FRAMESET_H
