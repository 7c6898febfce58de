#pragma once

// Commands run in process draw with the drawing code linked into the test
// instead of loading the program's drawing module.
#include "cli/CliDrawing.h"

inline const bool InProcessDrawing = (UseDrawing(BuiltInDrawing()), true);
