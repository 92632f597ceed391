#include "cli/Commands.h"

#include <cstdio>

int runConvertCommand(const QStringList&)
{
    std::fprintf(stderr, "trelvio-cli: 'convert' is not available in this build\n");
    return 2;
}
