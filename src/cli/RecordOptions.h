#pragma once

#include "CliOptions.h"
#include "CliOutput.h"
#include "fit/FitCase.h"
#include "records/RainRecord.h"
#include "records/RecordSamples.h"

// What the commands that read rain-gauge records (--records, --long-storm)
// share on the command line.

// How the records are read (--record-step, --record-unit, --records-gaps,
// --records-columns, --min-completeness, --max-minute-depth), how samples are
// taken (--durations, --samples, --sample-count) and analysed
// (--annual-max-periods, --distribution, --fit-periods, --log). Raises
// PluvionError for a bad value.
void ParseRecordOptions(const GivenOptions &given, RecordSettings &record, RecordSampling &sampling,
                        FitSettings &fit);

// The share read, on standard error, every tenth, for files large enough to
// take a while; none for smaller ones.
RecordProgress RecordProgressOnStandardError(const QStringList &paths, CliOutput &output);
