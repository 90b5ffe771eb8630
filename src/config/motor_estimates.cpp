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
    std::fprintf(stream, ";   On time= %f usecond\n", onTimeMicroseconds(l, r, v, i));
    std::fprintf(stream, ";   Duty Cycle= %f %%\n", dutyCycleEstimate(l, r, v, i));
    std::fprintf(stream, ";   Slew Rate= %f \n\n", slewRateEstimate(l, r, v, i));
}

}  // namespace kr570
