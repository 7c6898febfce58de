#pragma once

#include <QString>

// The modules pluvion-cli loads only for a run that needs them, from beside
// the program (the build) or from ../lib/pluvion/ (as installed): each
// exports one table of functions under `symbol`. The module stays loaded
// until the run ends. Raises PluvionError "无法载入<what> <fileName>：<reason>"
// when it cannot be loaded.
const void *LoadCliModule(const QString &fileName, const char *symbol, const QString &what);
