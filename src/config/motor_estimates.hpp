// Motor timing estimates derived from the winding's electrical settings. They are printed for
// the user's information only; nothing of them is stored in the configuration block.
#pragma once

#include <cstdio>

#include "config/config_record.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Estimated PWM on time in microseconds: the time the winding current needs to rise to
// `current` through inductance L and resistance R at the drive voltage,
// -(L / 1000) / R * ln(1 - I*R/V) * 1e6. Non-finite when I*R >= V or R is zero.
double onTimeMicroseconds(float inductance, float resistance, float drive_voltage, float current);

// -L / R * ln(1 - I*R/V); the duty cycle and slew rate estimates share this formula.
double dutyCycleEstimate(float inductance, float resistance, float drive_voltage, float current);
double slewRateEstimate(float inductance, float resistance, float drive_voltage, float current);

// Writes the four comment lines of the calculated motor parameters, followed by an empty line.
// Each line begins with ';' so that the parser skips the block when a report is read back.
// A `stream` of nullptr writes nothing.
void writeMotorParameterBlock(std::FILE* stream, const ConfigRecord& record);

// Warns, once each, when motor settings are negative and when the estimates come out infinite
// or not a number, naming the settings that make them so (for instance I x R >= V).
void warnAboutMotorSettings(const ConfigRecord& record, Diagnostics& diagnostics);

}  // namespace kr570
