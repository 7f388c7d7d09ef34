#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
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
