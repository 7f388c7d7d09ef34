#include "referencetrap.h"

#include "testfiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QImage>
#include <QTcpSocket>

#include <cerrno>

#include <sys/inotify.h>
#include <unistd.h>

ReferenceTrap::ReferenceTrap(const QString &folder)
    : m_folder(folder)
{
    if (!QDir().mkpath(folder))
        return;
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(qRgb(255, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    const QDir dir(folder);
    if (!TestFiles::writeFile(dir.filePath(QStringLiteral("secret.png")), png)
        || !TestFiles::writeFile(dir.filePath(QStringLiteral("secret.txt")), "top secret\n")
        || !TestFiles::writeFile(dir.filePath(QStringLiteral("secret.dtd")),
                                 "<!ENTITY secret \"top secret\">\n")
        || !TestFiles::writeFile(dir.filePath(QStringLiteral("defs.svg")),
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect id=\"r\" "
                                 "width=\"32\" height=\"32\" fill=\"red\"/></svg>\n")) {
        return;
    }
    if (!m_server.listen(QHostAddress::LocalHost))
        return;
    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch < 0
        || ::inotify_add_watch(m_watch, QFile::encodeName(folder).constData(), IN_OPEN | IN_ACCESS)
            < 0) {
        return;
    }
    m_ready = true;
}

ReferenceTrap::~ReferenceTrap()
{
    if (m_watch >= 0)
        ::close(m_watch);
}

QByteArray ReferenceTrap::resolved(QByteArray text) const
{
    return text.replace("@DIR@", QFile::encodeName(m_folder))
        .replace("@PORT@", QByteArray::number(m_server.serverPort()));
}

QStringList ReferenceTrap::filesTouched()
{
    QStringList names;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_watch, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t pos = 0; pos < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + pos);
            const QString name =
                event->len ? QFile::decodeName(event->name) : QStringLiteral("(the folder)");
            if (!names.contains(name))
                names << name;
            pos += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
        }
    }
    return names;
}

int ReferenceTrap::connections()
{
    int count = 0;
    m_server.waitForNewConnection(100);
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++count;
        delete socket;
        m_server.waitForNewConnection(0);
    }
    return count;
}
