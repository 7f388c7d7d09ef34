#include "decodemessages.h"

#include <QMessageLogContext>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace Convert {
namespace Reading {

namespace {

// Decoder messages. The image handlers report through qWarning: libpng's
// warnings as "libpng warning: ...", libjpeg's as its own text. A handler
// installed once catches, on a thread that is decoding, every message for
// that decode; everything else goes on to the handler installed before it
// (the command line installs its own early in main). A handler installed
// later, and not chaining, would see the decoder messages instead.
thread_local QStringList *t_decodeMessages = nullptr;
std::atomic<QtMessageHandler> s_previousHandler {nullptr};
std::once_flag s_handlerInstalled;

void routeMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (QStringList *messages = t_decodeMessages) {
        if (type != QtFatalMsg) {
            messages->append(message);
            return;
        }
    }
    if (const QtMessageHandler previous = s_previousHandler.load()) {
        previous(type, context, message);
        return;
    }
    // Only in the moment between installing and recording the previous one.
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    if (type == QtFatalMsg)
        std::abort();
}
} // namespace

DecodeMessages::DecodeMessages(QStringList *messages)
    : m_outer(t_decodeMessages)
{
    std::call_once(s_handlerInstalled,
                   [] { s_previousHandler.store(qInstallMessageHandler(routeMessage)); });
    t_decodeMessages = messages;
}

DecodeMessages::~DecodeMessages()
{
    t_decodeMessages = m_outer;
}

// libjpeg's words for data that is damaged or ends early (its JWRN_* and
// JERR_* texts); other messages are remarks.
bool saysCorrupt(const QString &message)
{
    return message.startsWith(QLatin1String("Corrupt JPEG data"))
        || message.startsWith(QLatin1String("Premature end of JPEG file"))
        || message.startsWith(QLatin1String("Invalid JPEG file structure"));
}
} // namespace Reading
} // namespace Convert
