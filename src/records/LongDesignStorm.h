#pragma once

#include "model/Storm.h"
#include "records/LongStorm.h"
#include "records/RainRecord.h"

// A built long-duration storm as the program's Storm (StormKind::Long): P, D
// and Δt of its settings, the block-average mode, its interval depths and
// the facts its report states (the typical storm or the storms averaged, the
// nested design depths with their source, the scale factors, the pattern,
// the records it came from and the engine's notes). The formula parameters
// and r are 0 (a formula that gave the depths is named in the profile), so
// that the storm file holds the storm exactly. The totals are left for
// CalcRainPoints to compute.
Storm LongDesignStorm(const LongStorm &built, const RainRecord &record);
