#ifndef CONVERTER_H
#define CONVERTER_H

#include "commitgroup.h"
#include "convertresult.h"
#include "filepath.h"
#include "formats.h"
#include "frameset.h"
#include "imagesource.h"
#include "lvgl8cframe.h"
#include "lvgl8formats.h"
#include "lvgl9formats.h"
#include "outputfile.h"
#include "outputplan.h"
#include "quantizer.h"
#include "transformplan.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The conversion engine's public face. Everything here is a pure function
// of its arguments: no shared mutable state, so separate images may be
// converted on separate threads. Needs QtCore and QtGui only. A conversion
// walks the stages once: source -> transforms -> pixels -> packed data ->
// container -> file, the plan (OutputPlan, outputplan.h) telling each stage its part and
// choosing the version's writer (outputversion.h).
namespace Convert {

// What the window's two boxes choose. A pair without a writer gives an OutputPlan
// with format nullptr.
OutputPlan outputPlan(OutputFormat output, ColorFormat color);

// Why outSpec cannot be written (a RAW .bin, RGB565A8 at depth 8), or an
// empty string.
QString specProblem(const OutputPlan &outSpec);
// Why outSpec cannot be written for a source of this kind (RAW of a PNG must
// be RAW_ALPHA; LVGL has no BMP or SVG data decoder; LVGL 9 plays a GIF
// embedded as RAW), or an empty string.
QString sourceProblem(const OutputPlan &outSpec, ImageKind kind);
// The same with what the source's first bytes say (at least its first 11;
// the whole file will do): a GIF embedded for the library's GIF player must
// be GIF89a with a global colour table for LVGL 8, and at most 480 pixels
// wide for LVGL 9.
QString sourceProblem(const OutputPlan &outSpec, ImageKind kind, const QByteArray &head);

// ".c" or ".bin".
QString outputExtension(const OutputPlan &outSpec);

// Decodes an image file with readSourceImage() (imagesource.h): a PNG, JPEG
// or BMP recognised by its content, refused from its header when it is
// larger than MaxImageSide, and refused when its data is truncated or
// corrupt. A successful result may carry the decoder's notes.
ConvertResult loadImage(const QString &path, QImage *image);

// Reads the source at path for outSpec: decoded by readSourceImage(), or,
// for the RAW formats, which embed the file, checked without being decoded
// (readEmbeddedSource()), with a note of the RAM the device's decoder
// will need.
ConvertResult loadSource(const QString &path, const OutputPlan &outSpec, SourceImage *source);
// The same with what request asks beyond the side limit, which the plan
// sets.
ConvertResult loadSource(const QString &path, const OutputPlan &outSpec, DecodeRequest request,
                         SourceImage *source);

// The same, then transforms applied to the decoded image (transformplan.h,
// imagetransform.h). Without a transform this is loadSource() above, and
// the decoded image is not touched. With one, the output's side limit
// applies to the final image (convertSource() checks it) and only the
// decoding budget to the source, which is decoded at the size the
// transforms want where its kind can (TransformPlan::wantedDecodeSize).
// A RAW format, which embeds the file as it is, takes no transform. A
// trim adds a note of what it cut; report, if given, has the figures.
ConvertResult loadSource(const QString &path, const OutputPlan &outSpec,
                         const TransformPlan &transforms, SourceImage *source,
                         TransformReport *report = nullptr);
// Why transforms cannot apply to outSpec, or an empty string.
QString transformProblem(const OutputPlan &outSpec, const TransformPlan &transforms);

// Whether image can be written at all: not null (a failed decode gives a
// null image) and at most MaxImageSide pixels wide and high. path is only
// used to name the file in the result.
ConvertResult checkImage(const QImage &image, const QString &path);

// Whether there is a writer for the pair (the colour format only matters
// for C arrays).
bool hasWriter(OutputFormat output, ColorFormat color);

// Encodes source in memory, with '\n' line ends. symbol is the stem of
// the C names; it is made a C identifier first (see cSymbol).
ConvertResult encodeSource(const SourceImage &source, const OutputPlan &outSpec,
                           const QString &symbol, QByteArray *bytes);
ConvertResult encodeImage(const QImage &image, OutputFormat output, ColorFormat color,
                          const QString &symbol, QByteArray *bytes);

// Encodes source and writes it to outputPath through an OutputFile (see
// outputfile.h): a temporary file beside it, flushed to the disk and
// renamed over outputPath only when every write succeeded, so a failure
// never leaves a partial file and never touches an existing one; a link at
// outputPath is replaced, never written through; a device or FIFO there is
// refused. C files are streamed in blocks and use the platform's line
// ends. symbol defaults to the output's base name.
//
// With a group, a written file is handed to it instead of being committed
// at once: the result then only says that the file was written, and the
// group reports its commit under tag.
//
// Failures are also logged on Qt's debug stream as "The file %1 could not
// be opened: %2" or "The file %1 could not be written: %2".
ConvertResult convertSource(const SourceImage &source, const OutputPlan &outSpec,
                            const QString &outputPath, const QString &symbol = QString(),
                            CommitGroup *group = nullptr, int tag = 0);
ConvertResult convertImage(const QImage &image, OutputFormat output, ColorFormat color,
                           const QString &outputPath, const QString &symbol = QString(),
                           CommitGroup *group = nullptr, int tag = 0);

// readSourceImage() and convertSource() in one. The overload with the
// window's two choices reads only the kinds the window lists.
ConvertResult convertFile(const QString &sourcePath, const OutputPlan &outSpec,
                          const QString &outputPath, const QString &symbol = QString(),
                          CommitGroup *group = nullptr, int tag = 0);
// The same with transforms, read by loadSource() above.
ConvertResult convertFile(const QString &sourcePath, const OutputPlan &outSpec,
                          const TransformPlan &transforms, const QString &outputPath,
                          const QString &symbol = QString(), CommitGroup *group = nullptr,
                          int tag = 0);
ConvertResult convertFile(const QString &sourcePath, OutputFormat output, ColorFormat color,
                          const QString &outputPath, const QString &symbol = QString(),
                          CommitGroup *group = nullptr, int tag = 0);

// How a source becomes the frames of a set (--frames): every frame of an
// animation, or the cells of a sprite sheet, or a still image as one frame.
struct FramePlan
{
    // Keep this many frames, spread evenly, each shown for the delays of
    // the frames it stands for added up; 0 keeps every frame.
    int maxFrames = 0;
    // Cut the (first frame of the) image into columns x rows cells, left to
    // right, top to bottom; empty for none. The sides must divide evenly.
    QSize grid;
    // Every frame's delay in ms; 0: an animation's own delays (a zero delay
    // read as 100 ms, as browsers and LVGL's GIF player read it), and 100
    // for a still image or a grid's cells.
    int frameMs = 0;
};

// The number of frames the set of path will hold under framePlan, from
// the file's headers only, so that more than FrameSet::MaxFrames
// (frameset.h) is found before anything is decoded.
ConvertResult frameCount(const QString &path, const FramePlan &framePlan, int *count);

// Reads path as a frame set (frameset.h) for outSpec: readAnimation()
// (animation.h), the grid cut or the frames picked, the transforms applied
// to each frame alike (a trim cuts the union of every frame's visible box,
// so that all frames keep one size), equal neighbours marked as sharing an
// array, and for an indexed format one palette for every frame
// (sharedPalette(), set in *planned, which the frames are then encoded
// with). RAW formats take no frames.
ConvertResult loadFrames(const QString &path, const OutputPlan &outSpec,
                         const TransformPlan &transforms, const FramePlan &framePlan, FrameSet *set,
                         OutputPlan *planned);

// loadFrames(), then the set written to outputPath: a C file through an
// OutputFile, as convertSource() writes one image ("-" for standard
// output), or for a .bin plan the folder outputPath through an
// OutputFolder (outputfolder.h), every file committed together. With
// checkOnly, everything is done in memory and the target is not looked at
// (the caller checks it). frames, if given, gets the number of frames.
ConvertResult convertFrames(const QString &sourcePath, const OutputPlan &outSpec,
                            const TransformPlan &transforms, const FramePlan &framePlan,
                            const QString &outputPath, const QString &symbol = QString(),
                            bool checkOnly = false, int *frames = nullptr);
// Whether fileName is one a frame set's .bin folder holds ("000.bin",
// "frames.txt"), so that an earlier folder may be replaced.
bool isFrameSetFileName(const QString &fileName);

// Where a batch writes the output of sourcePath: directory, '/', the
// source's base name (up to its first dot) and ".c" or ".bin".
QString batchOutputPath(const QString &directory, const QString &sourcePath,
                        const QString &extension);
QString batchOutputPath(const QString &directory, const QString &sourcePath, OutputFormat output);

} // namespace Convert

#endif // CONVERTER_H
