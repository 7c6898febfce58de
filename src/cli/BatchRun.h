#pragma once

#include "CliOptions.h"

// Runs the batch a request asks for (--batch): the storms, their CSVs and the
// summary in the folder, then the charts. Tells each storm's progress, its
// failure and the end on stderr. Returns the exit status: Success; BadInput
// when the batch could not start (a list that names one file twice, a folder
// that cannot be created) or the summary or a chart cannot be written;
// otherwise ComputationFailed when any storm failed.
ExitStatus RunCliBatch(const CliRequest &request, const Separators &sep);
