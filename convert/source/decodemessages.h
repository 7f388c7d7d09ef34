#ifndef DECODEMESSAGES_H
#define DECODEMESSAGES_H

#include <QStringList>

namespace Convert {
namespace Reading {

// Catches, for as long as it lives, the decoder messages of the thread that
// made it in messages; an outer one takes them again when it ends.
class DecodeMessages
{
public:
    explicit DecodeMessages(QStringList *messages);
    ~DecodeMessages();
    Q_DISABLE_COPY(DecodeMessages)

private:
    QStringList *m_outer;
};

// libjpeg's words for data that is damaged or ends early (its JWRN_* and
// JERR_* texts); other messages are remarks.
bool saysCorrupt(const QString &message);
} // namespace Reading
} // namespace Convert

#endif // DECODEMESSAGES_H
