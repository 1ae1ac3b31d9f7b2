// trelvo-cli --survey: what the outline pieces of each INPUT hold, as a run sees them, printed as
// aligned columns or as CSV. Writes no file.
#pragma once

#include <string>

#include "cli/options.h"
#include "engine/survey.h"

namespace trelvo::cli {

enum class SurveyFormat { Table, Csv };

// Checks the options that go with --survey; empty when they are fine, else the usage error.
std::string surveyUsageError(const Options& options);

// Surveys every INPUT; returns the exit status (the highest of the INPUTs').
int runSurvey(const Options& options);

// The text of one INPUT's survey (Done only): the table with its heading and warnings, or the
// CSV rows (the header row comes from surveyCsvHeader) and, in notes, what CSV has no room for.
std::string surveyTable(const std::string& input, const Survey& survey);
std::string surveyCsvRows(const std::string& input, const Survey& survey);
std::string surveyCsvHeader();
// Warnings, one line each, every line beginning with prefix.
std::string surveyNotes(const std::string& input, const Survey& survey, const std::string& prefix);

// What a run does with the pieces of a row, in words.
std::string statusText(const SurveyRow& row);

}  // namespace trelvo::cli
