#include "config/motor_estimates.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

// A row's motor settings, how the three estimates come out ("value": finite and above 0, "0",
// "inf": positive infinity, or "nan") and what the run warns about these settings.
struct EstimateCase : test::NamedCase {
    float inductance, resistance, drive_voltage, current;
    std::string expect;
    std::string warning;
};

std::string kindOf(double value) {
    if (std::isnan(value) || value == 0) {
        return std::isnan(value) ? "nan" : "0";
    }
    return value < 0 ? std::to_string(value) : std::isinf(value) ? "inf" : "value";
}

class MotorEstimates : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(MotorEstimates, FollowTheRiseTimeFormula) {
    const EstimateCase& c = GetParam();
    const double onTime =
        onTimeMicroseconds(c.inductance, c.resistance, c.drive_voltage, c.current);
    const double duty = dutyCycleEstimate(c.inductance, c.resistance, c.drive_voltage, c.current);
    const double slew = slewRateEstimate(c.inductance, c.resistance, c.drive_voltage, c.current);
    for (const double value : {onTime, duty, slew}) {
        EXPECT_EQ(c.expect, kindOf(value)) << value;
    }
    EXPECT_TRUE(duty == slew || (std::isnan(duty) && std::isnan(slew)))
        << "duty cycle and slew rate share one formula";

    ConfigRecord record = test::defaultRecord();
    record.inductance = c.inductance;
    record.resistance = c.resistance;
    record.drive_voltage = c.drive_voltage;
    record.current = c.current;
    test::TempStream warnings;
    Reporter reporter(nullptr, warnings.stream(), nullptr, {});
    Diagnostics diagnostics(reporter, "m.txt");
    warnAboutMotorSettings(record, diagnostics);
    EXPECT_EQ(c.warning, warnings.text());
}

const std::string kNotANumber =
    "m.txt: warning: the calculated motor parameters are not a number: ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, MotorEstimates,
                         ::testing::ValuesIn(std::vector<EstimateCase>{
    {"defaults", 1.7F, 1.5F, 24.0F, 2.5F, "value", ""},
    {"x_is_zero", 1.7F, 1.5F, 24.0F, 16.0F, "inf", "m.txt: warning: the calculated motor "
        "parameters are infinite: 'current' x 'resistance' (24) is not below 'drive_voltage' "
        "(24)\n"},
    {"x_negative", 1.7F, 1.5F, 24.0F, 20.0F, "nan",
        kNotANumber + "'current' x 'resistance' (30) is not below 'drive_voltage' (24)\n"},
    {"no_resistance", 1.7F, 0.0F, 24.0F, 2.5F, "nan", kNotANumber + "'resistance' is 0\n"},
    {"no_voltage", 1.7F, 1.5F, 0.0F, 2.5F, "nan", kNotANumber + "'drive_voltage' is 0\n"},
    {"no_current", 1.7F, 1.5F, 24.0F, 0.0F, "0", ""},
    {"no_inductance", 0.0F, 1.5F, 24.0F, 2.5F, "0", ""},
    {"negative_settings", -1.7F, -1.5F, 24.0F, -2.5F, "value", "m.txt: warning: 'resistance', "
        "'inductance' and 'current' are negative; the motor estimates assume positive values\n"},
}), test::CaseName());
// clang-format on

TEST(MotorParameterBlock, DefaultsPrintTheKnownFigures) {
    test::TempStream out;
    writeMotorParameterBlock(out.stream(), test::defaultRecord());
    EXPECT_EQ(test::kDefaultMotorBlock, out.text());
}

TEST(MotorParameterBlock, NonFiniteEstimatesStillPrintFourLines) {
    test::TempStream out;
    writeMotorParameterBlock(out.stream(), test::withSettings("current=16"));  // I*R/V = 1
    EXPECT_EQ(
        "; Calculated motor parameters:\n"
        ";   On time= inf usecond\n"
        ";   Duty Cycle= inf %\n"
        ";   Slew Rate= inf \n\n",
        out.text());
}

}  // namespace
}  // namespace kr570
