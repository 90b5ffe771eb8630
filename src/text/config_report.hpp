// Writes the ConfigRecord as a commented configuration text, the report, which the parser
// reads back.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "config/config_record.hpp"

namespace kr570 {

// How every report begins, before the version: what tells a report of this tool from a text
// of the user's.
constexpr char kReportStart[] = "; KR570 Configuration File created by KR570Convert";

// Writes the whole report: a header naming the source file and the time of creation and
// showing the block's product id, revision and notice, then every setting under a comment
// line for its group, with the calculated motor parameters after the motor settings.
void writeConfigReport(std::FILE* output, const ConfigRecord& record, const std::string& sourceName,
                       const std::tm& created);

// The time of creation for a report: SOURCE_DATE_EPOCH (a non-negative decimal count of
// seconds since 1970, read as UTC) when the environment holds a valid one, so that reports
// can be reproduced; the local clock otherwise.
std::tm reportCreationTime();

// The same choice, with the variable's text given (nullptr when it is not set).
std::tm reportCreationTime(const char* sourceDateEpoch, std::time_t now);

}  // namespace kr570
