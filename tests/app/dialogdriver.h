#ifndef DIALOGDRIVER_H
#define DIALOGDRIVER_H

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <queue>

class QWidget;

// Answers the modal dialogs a command opens, the way a user would, while
// the command runs its nested event loop. Every few milliseconds it looks at
// QApplication::activeModalWidget(); each dialog it has not seen before is
// handed to the next queued handler, which inspects and closes it. A dialog
// that arrives with no handler queued is recorded and rejected, so a test
// fails instead of hanging.
class DialogDriver : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(QWidget *dialog)>;

    DialogDriver();
    ~DialogDriver() override;
    Q_DISABLE_COPY(DialogDriver)

    void expect(Handler handler) { m_handlers.push(std::move(handler)); }
    int pendingHandlers() const { return int(m_handlers.size()); }
    // "ClassName: window title" of every dialog seen, in order.
    QStringList seen() const { return m_seen; }
    QStringList unexpected() const { return m_unexpected; }

private:
    void poll();

    QTimer m_timer;
    std::queue<Handler> m_handlers;
    QStringList m_seen;
    QStringList m_unexpected;
};

#endif // DIALOGDRIVER_H
