#include "config/motor_estimates.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "config/settings.hpp"
#include "io/text_output.hpp"

namespace kr570 {

namespace {

// The rise-time formula shared by all three estimates: t * ln(1 - I*R/V), every step in
// double precision and in this order, so that the printed digits are reproducible.
double riseTerm(double timeConstant, float resistance, float drive_voltage, float current) {
    const double x = 1.0 - ((static_cast<double>(current) * static_cast<double>(resistance)) /
                            static_cast<double>(drive_voltage));
    return std::log(x) * timeConstant;
}

// "%f" of one estimate; a NaN (a zero resistance or voltage) is "nan" on every system.
void printEstimate(std::FILE* stream, const char* before, double value, const char* after) {
    printText(stream, "%s%s%s", before, decimal(value, 6).c_str(), after);
}

}  // namespace

double onTimeMicroseconds(float inductance, float resistance, float drive_voltage, float current) {
    const double t =
        (-(static_cast<double>(inductance) / 1000.0)) / static_cast<double>(resistance);
    return riseTerm(t, resistance, drive_voltage, current) * 1000000.0;
}

double dutyCycleEstimate(float inductance, float resistance, float drive_voltage, float current) {
    const double t = (-static_cast<double>(inductance)) / static_cast<double>(resistance);
    return riseTerm(t, resistance, drive_voltage, current);
}

double slewRateEstimate(float inductance, float resistance, float drive_voltage, float current) {
    return dutyCycleEstimate(inductance, resistance, drive_voltage, current);
}

void writeMotorParameterBlock(std::FILE* stream, const ConfigRecord& record) {
    if (stream == nullptr) {
        return;
    }
    const float l = record.inductance;
    const float r = record.resistance;
    const float v = record.drive_voltage;
    const float i = record.current;
    putText("; Calculated motor parameters:\n", stream);
    printEstimate(stream, ";   On time= ", onTimeMicroseconds(l, r, v, i), " usecond\n");
    printEstimate(stream, ";   Duty Cycle= ", dutyCycleEstimate(l, r, v, i), " %\n");
    printEstimate(stream, ";   Slew Rate= ", slewRateEstimate(l, r, v, i), " \n\n");
}

namespace {

void warnAboutNegatives(const ConfigRecord& r, Diagnostics& diagnostics) {
    std::vector<std::string> names;
    for (const Setting& setting : kSettings) {
        if (setting.kind == ValueKind::Float && setting.floatIn(r) < 0.0F) {
            names.push_back("'" + std::string(setting.keyword) + "'");
        }
    }
    if (!names.empty()) {
        diagnostics.warn(0, "%s %s negative; the motor estimates assume positive values",
                         listed(names, "and").c_str(), names.size() == 1 ? "is" : "are");
    }
}

// What makes the estimates infinite or not a number, in the settings' names.
std::string nonFiniteCause(const ConfigRecord& r) {
    const double resistance = static_cast<double>(r.resistance);
    const double voltage = static_cast<double>(r.drive_voltage);
    const double product = static_cast<double>(r.current) * resistance;
    if (!std::isfinite(r.inductance) || !std::isfinite(r.resistance) || !std::isfinite(r.current) ||
        !std::isfinite(r.drive_voltage)) {
        return "'inductance', 'resistance', 'current' and 'drive_voltage' are not all finite";
    }
    if (resistance == 0.0) {
        return "'resistance' is 0";
    }
    if (voltage == 0.0) {
        return "'drive_voltage' is 0";
    }
    if (product / voltage >= 1.0) {
        char text[96];
        (void)std::snprintf(text, sizeof text,
                            "'current' x 'resistance' (%g) is not below 'drive_voltage' (%g)",
                            product, voltage);
        return text;
    }
    return "'inductance', 'resistance', 'current' and 'drive_voltage' give no finite value";
}

}  // namespace

void warnAboutMotorSettings(const ConfigRecord& r, Diagnostics& diagnostics) {
    warnAboutNegatives(r, diagnostics);
    const double onTime =
        onTimeMicroseconds(r.inductance, r.resistance, r.drive_voltage, r.current);
    const double duty = dutyCycleEstimate(r.inductance, r.resistance, r.drive_voltage, r.current);
    if (std::isfinite(onTime) && std::isfinite(duty)) {
        return;
    }
    const bool notANumber = std::isnan(onTime) || std::isnan(duty);
    diagnostics.warn(0, "the calculated motor parameters are %s: %s",
                     notANumber ? "not a number" : "infinite", nonFiniteCause(r).c_str());
}

}  // namespace kr570
