#pragma once

#include <QStringList>

// The sub-commands of trelvio-cli; each takes the words after its name and
// returns the process exit status.
int runProbeCommand(const QStringList& args);
int runProfilesCommand(const QStringList& args);
int runConvertCommand(const QStringList& args);
