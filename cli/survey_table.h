// trelvo-cli --survey: what the outline pieces of each INPUT hold, as a run sees them, printed as
// aligned columns or as CSV. Writes no file.
#pragma once

#include <string>

#include "cli/options.h"

namespace trelvo::cli {

// Checks the options that go with --survey; empty when they are fine, else the usage error.
std::string surveyUsageError(const Options& options);

// Surveys every INPUT; returns the exit status (the highest of the INPUTs').
int runSurvey(const Options& options);

}  // namespace trelvo::cli
