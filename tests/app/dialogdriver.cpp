#include "dialogdriver.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QVariant>

namespace {
const char handledProperty[] = "_dialogDriverHandled";
}

DialogDriver::DialogDriver()
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &DialogDriver::poll);
    m_timer.start();
}

DialogDriver::~DialogDriver() = default;

void DialogDriver::poll()
{
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || dialog->property(handledProperty).toBool())
        return;
    dialog->setProperty(handledProperty, true);
    const QString name = QString::fromLatin1(dialog->metaObject()->className())
        + QStringLiteral(": ") + dialog->windowTitle();
    m_seen << name;
    if (m_handlers.empty()) {
        m_unexpected << name;
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->reject();
        else
            dialog->close();
        return;
    }
    Handler handler = std::move(m_handlers.front());
    m_handlers.pop();
    QPointer<QWidget> guard(dialog);
    handler(dialog);
    // A handler that stopped early (a failed check) leaves its dialog open;
    // close it so the command under test returns and the test can report.
    if (guard && guard->isVisible()) {
        m_unexpected << name + QStringLiteral(" (left open by its handler)");
        if (auto *d = qobject_cast<QDialog *>(guard.data()))
            d->reject();
        else
            guard->close();
    }
}
