#ifndef TEXTSINK_H
#define TEXTSINK_H

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;

namespace Convert {

// The reason for a write of length bytes to device that returned written.
QString shortWriteError(const QIODevice *device, qint64 written, qint64 length);

// Streams generated text to a device in large blocks, so that a C array of
// hundreds of megabytes never exists in memory as a whole. Every write's
// result is checked; after the first failure the sink drops further text
// and reports the failure from ok() and finish().
//
// Lines are written with a trailing '\n'; the device's text mode decides
// the line end that reaches the file.
class TextSink
{
public:
    static constexpr int BlockSize = 1 << 20;

    explicit TextSink(QIODevice *device);
    ~TextSink();
    Q_DISABLE_COPY(TextSink)

    void appendLine(const char *text);
    void appendLine(const QByteArray &text);
    // Text without a line end.
    void append(const char *text, int length);
    // A row line of a C array: two spaces, "0xHH, " for each byte, the line
    // end.
    void appendHexLine(const uchar *bytes, int count);

    // Returns a pointer to at least n (<= BlockSize) writable bytes. Write
    // into them and hand the new end to commit().
    char *reserve(int n)
    {
        if (m_end - m_pos < n)
            flushBlock();
        return m_pos;
    }
    void commit(char *end) { m_pos = end; }

    // Writes what is buffered. Returns ok().
    bool finish();

    bool ok() const { return m_ok; }
    QString errorString() const { return m_error; }

private:
    void flushBlock();

    QIODevice *m_device;
    std::unique_ptr<char[]> m_buffer;
    char *m_pos;
    char *m_end;
    bool m_ok = true;
    QString m_error;
};

} // namespace Convert

#endif // TEXTSINK_H
