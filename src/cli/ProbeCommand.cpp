#include "cli/Commands.h"

#include <cstdio>

int runProbeCommand(const QStringList&)
{
    std::fprintf(stderr, "trelvio-cli: 'probe' is not available in this build\n");
    return 2;
}
