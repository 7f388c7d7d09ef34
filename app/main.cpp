#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

#include <csignal>

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // A write past the file size limit then fails for that file, with its
    // reason in the save report, instead of killing the window.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication application(argc, argv);
#ifndef Q_OS_WIN
    // Windows takes the icon from the executable's resources; elsewhere the
    // windows get the same picture from the embedded bundle.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/image/icon.png")));
#endif
    MainWindow window;
    window.show();
    return application.exec();
}
