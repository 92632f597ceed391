// trelvio-cli: the conversion engine without windows.
#include "cli/Commands.h"
#include "RAZedIruvIvizor/ZKUtils.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void printUsage(FILE* out)
{
    std::fputs(
        "Usage: trelvio-cli COMMAND [OPTIONS] [FILE...]\n"
        "\n"
        "Commands:\n"
        "  probe [--json] FILE...      show the streams and properties of media files\n"
        "  profiles [--json]           list the output profiles by group\n"
        "  convert [OPTIONS] FILE...   convert files (see 'trelvio-cli convert --help')\n"
        "  --version                   print the version\n",
        out);
}

}  // namespace

int main(int argc, char** argv)
{
    // Watermark text needs fonts, so the headless program still runs a GUI
    // application object, on the offscreen platform unless told otherwise.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trelvio"));

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        printUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    if (args.first() == QLatin1String("--version")) {
        std::printf("%s %s\n", qPrintable(GlobalFun::getProductName()), qPrintable(GlobalFun::getAppBuildVersion()));
        return 0;
    }

    FFMpegInit();
    const QString command = args.takeFirst();
    if (command == QLatin1String("probe"))
        return runProbeCommand(args);
    if (command == QLatin1String("profiles"))
        return runProfilesCommand(args);
    if (command == QLatin1String("convert"))
        return runConvertCommand(args);
    std::fprintf(stderr, "trelvio-cli: unknown command '%s'\n", qPrintable(command));
    printUsage(stderr);
    return 2;
}
