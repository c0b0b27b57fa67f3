#pragma once
// Prints what the analyze command knows about a tune: key, meter, tempo and
// every bar's chords, as text for people or as one JSON object.

#include "TuneRun.h"

#include <ostream>

namespace korvanta::cli {

void printAnalysisText(std::ostream& out, const TuneRun& run);
void printAnalysisJson(std::ostream& out, const TuneRun& run);

} // namespace korvanta::cli
