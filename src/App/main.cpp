// trelvio: the desktop application.
#include "RAZedIruvIvizor/ZKUtils.h"
#include "Settings/GlobalResources.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trelvio"));
    QApplication::setApplicationDisplayName(GlobalFun::getProductName());
    QApplication::setApplicationVersion(GlobalFun::getAppVersion());
    FFMpegInit();
    GlobalResources::prepareGlobalRes();

    QMainWindow window;
    window.setWindowTitle(GlobalFun::getProductName());
    window.setCentralWidget(new QLabel(QObject::tr("Drop video or audio files here")));
    window.resize(960, 640);
    window.show();
    return app.exec();
}
