#ifndef CONVERTRESULT_H
#define CONVERTRESULT_H

#include <QSize>
#include <QString>
#include <QStringList>

namespace Convert {

// The outcome of decoding, encoding or writing one image. A failure names
// the file it concerns and the reason, so that each front end can report it
// in its own words (the window in a message box, the command line on
// stderr) and act on the kind of failure.
class ConvertResult
{
public:
    enum Status {
        Ok,
        NotDecodable, // the source could not be read as an image, or the image is empty
        TooLarge, // wider or taller than the LVGL header can describe
        NoWriter, // no writer for the output/colour format pair
        OpenFailed, // the output file could not be created
        WriteFailed, // writing or committing the output file failed
        NotAnImage, // the source's content is of no kind that was asked for
        Corrupt, // the source's data ends early or the decoder found it corrupt
        NotRegularFile, // the source is a FIFO, a device, a socket or a folder
        ReadFailed, // the source could not be opened or read
        OverBudget, // decoding the source would take more than the decoding budget
        OutputNotRegular, // the output exists and is not a regular file or a link
    };

    ConvertResult() = default;

    static ConvertResult success() { return ConvertResult(); }
    static ConvertResult notDecodable(const QString &path, const QString &detail);
    static ConvertResult tooLarge(const QString &path, QSize size);
    // TooLarge with the reason in words (a v9 stride that does not fit).
    static ConvertResult tooLarge(const QString &path, QSize size, const QString &reason);
    static ConvertResult noWriter(const QString &path, int outputFormat, int colorFormat);
    // NoWriter with the reason in words.
    static ConvertResult unsupported(const QString &path, const QString &reason);
    static ConvertResult openFailed(const QString &path, const QString &detail);
    static ConvertResult writeFailed(const QString &path, const QString &detail);
    // kinds names what would have been read: "PNG, JPEG or BMP".
    static ConvertResult notAnImage(const QString &path,
                                    const QString &kinds = QStringLiteral("PNG, JPEG or BMP"));
    static ConvertResult corrupt(const QString &path, const QString &detail = QString());
    static ConvertResult notRegularFile(const QString &path);
    static ConvertResult readFailed(const QString &path, const QString &detail);
    static ConvertResult overBudget(const QString &path, QSize size);
    // OverBudget for an animation, whose frames together are past it.
    static ConvertResult overBudget(const QString &path, QSize size, int frames);
    static ConvertResult outputNotRegular(const QString &path);

    bool ok() const { return m_status == Ok; }
    Status status() const { return m_status; }
    // The file the result is about: the source for decoding failures, the
    // output otherwise.
    QString filePath() const { return m_path; }
    // The underlying reason as reported by Qt or the system, if any.
    QString detail() const { return m_detail; }
    // The size of the refused image (TooLarge and OverBudget).
    QSize imageSize() const { return m_size; }
    // TooLarge only: the largest width and height the output allows.
    int sideLimit() const { return m_limit; }
    ConvertResult &withSideLimit(int limit)
    {
        m_limit = limit;
        return *this;
    }

    // What a decoder said about the source without failing (libpng's
    // warnings about a damaged ancillary chunk, say). The command line shows
    // them with --verbose only.
    QStringList notes() const { return m_notes; }
    void addNotes(const QStringList &notes) { m_notes += notes; }

    // What the device will show wrongly in an output that was written all
    // the same (opaque pixels that take the chroma key's value, say). The
    // command line always shows them; they do not make the result fail.
    QStringList warnings() const { return m_warnings; }
    void addWarnings(const QStringList &warnings) { m_warnings += warnings; }

    // English description without the file name, e.g. "cannot be decoded
    // (Unsupported image format)".
    QString reason() const;
    // The file name (native separators) and the reason.
    QString message() const;

private:
    ConvertResult(Status status, const QString &path, const QString &detail, QSize size = QSize());

    Status m_status = Ok;
    QString m_path;
    QString m_detail;
    QSize m_size;
    int m_limit = 0;
    QStringList m_notes;
    QStringList m_warnings;
};

} // namespace Convert

#endif // CONVERTRESULT_H
