#ifndef REFERENCETRAP_H
#define REFERENCETRAP_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTcpServer>

// Bait for a document that must read nothing but itself: a folder of files
// watched (inotify) for any open or read by any process, and a TCP server on
// 127.0.0.1 that counts the connections it is offered. Text given to
// resolved() has "@DIR@" replaced by the folder and "@PORT@" by the port.
//
// The folder holds secret.png (a 32 x 32 opaque red PNG), secret.txt (a line
// of text), secret.dtd (a DTD declaring an entity of red text) and defs.svg
// (a red rectangle with id "r"), so that anything read from it would also
// show as red pixels.
class ReferenceTrap
{
public:
    explicit ReferenceTrap(const QString &folder);
    ~ReferenceTrap();
    Q_DISABLE_COPY(ReferenceTrap)

    // Whether the folder, its files, the watch and the server are all set.
    bool ready() const { return m_ready; }
    QByteArray resolved(QByteArray text) const;

    // The files of the folder that were opened or read since it was made.
    QStringList filesTouched();
    // The connections the server was offered since it was made, after
    // waiting a little for any still on their way.
    int connections();

private:
    QString m_folder;
    QTcpServer m_server;
    int m_watch = -1;
    bool m_ready = false;
};

#endif // REFERENCETRAP_H
