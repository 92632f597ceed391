#include "cli/Commands.h"

#include <cstdio>

int runProfilesCommand(const QStringList&)
{
    std::fprintf(stderr, "trelvio-cli: 'profiles' is not available in this build\n");
    return 2;
}
