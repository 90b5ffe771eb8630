#include "config/motor_estimates.hpp"

#include <cmath>

namespace kr570 {

namespace {

// The rise-time formula shared by all three estimates: t * ln(1 - I*R/V), every step in
// double precision and in this order, so that the printed digits are reproducible.
double riseTerm(double timeConstant, float resistance, float drive_voltage, float current) {
    const double x = 1.0 - ((static_cast<double>(current) * static_cast<double>(resistance)) /
                            static_cast<double>(drive_voltage));
    return std::log(x) * timeConstant;
}

// "%f" of one estimate. A NaN (a zero resistance or voltage) is written with its sign, as
// "-nan" or "nan", whichever C library formats the rest: not all of them show the sign.
void printEstimate(std::FILE* stream, const char* before, double value, const char* after) {
    if (std::isnan(value)) {
        std::fprintf(stream, "%s%s%s", before, std::signbit(value) ? "-nan" : "nan", after);
    } else {
        std::fprintf(stream, "%s%f%s", before, value, after);
    }
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
    const float l = record.inductance;
    const float r = record.resistance;
    const float v = record.drive_voltage;
    const float i = record.current;
    std::fputs("; Calculated motor parameters:\n", stream);
    printEstimate(stream, ";   On time= ", onTimeMicroseconds(l, r, v, i), " usecond\n");
    printEstimate(stream, ";   Duty Cycle= ", dutyCycleEstimate(l, r, v, i), " %\n");
    printEstimate(stream, ";   Slew Rate= ", slewRateEstimate(l, r, v, i), " \n\n");
}

}  // namespace kr570
