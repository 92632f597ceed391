// trelvio: the desktop application.
#include "Platform/UnixSignalWatcher.h"
#include "RAZedIruvIvizor/ZKUtils.h"
#include "Settings/GlobalResources.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <csignal>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trelvio"));
    QApplication::setApplicationDisplayName(GlobalFun::getProductName());
    QApplication::setApplicationVersion(GlobalFun::getAppVersion());
    QApplication::setDesktopFileName(GlobalFun::bundleID());
    FFMpegInit();
    GlobalResources::prepareGlobalRes();

    // A session logout or `kill` ends the program through its event loop, so
    // settings are flushed and child processes are stopped on the way out.
    UnixSignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::unixSignal, &app, [] { QApplication::quit(); });

    QMainWindow window;
    window.setWindowTitle(GlobalFun::getProductName());
    auto* label = new QLabel(QObject::tr("Drop video or audio files here"));
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(960, 640);
    window.show();
    return app.exec();
}
