#include "config/motor_estimates.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

// A row's motor settings (the defaults: inductance 1.7, resistance 1.5, drive_voltage 24 and
// current 2.5, with the row's changes), how the three estimates come out ("value": finite and
// above 0, "0", "inf": positive infinity, or "nan") and what the run warns about these settings.
struct EstimateCase : test::NamedCase {
    std::string changes;
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
    const ConfigRecord r = test::withSettings(c.changes);
    const double onTime =
        onTimeMicroseconds(r.inductance, r.resistance, r.drive_voltage, r.current);
    const double duty = dutyCycleEstimate(r.inductance, r.resistance, r.drive_voltage, r.current);
    const double slew = slewRateEstimate(r.inductance, r.resistance, r.drive_voltage, r.current);
    for (const double value : {onTime, duty, slew}) {
        EXPECT_EQ(c.expect, kindOf(value)) << value;
    }
    EXPECT_TRUE(duty == slew || (std::isnan(duty) && std::isnan(slew)))
        << "duty cycle and slew rate share one formula";

    test::TempStream warnings;
    Reporter reporter(nullptr, warnings.stream(), nullptr, {});
    Diagnostics diagnostics(reporter, "m.txt");
    warnAboutMotorSettings(r, diagnostics);
    EXPECT_EQ(c.warning, warnings.text());
}

const std::string kNotANumber =
    "m.txt: warning: the calculated motor parameters are not a number: ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, MotorEstimates,
                         ::testing::ValuesIn(std::vector<EstimateCase>{
    {"defaults", "", "value", ""},
    {"x_is_zero", "current=16", "inf", "m.txt: warning: the calculated motor parameters are "
        "infinite: 'current' x 'resistance' (24) is not below 'drive_voltage' (24)\n"},
    {"x_negative", "current=20", "nan",
        kNotANumber + "'current' x 'resistance' (30) is not below 'drive_voltage' (24)\n"},
    {"no_resistance", "resistance=0", "nan", kNotANumber + "'resistance' is 0\n"},
    {"no_voltage", "drive_voltage=0", "nan", kNotANumber + "'drive_voltage' is 0\n"},
    {"no_current", "current=0", "0", ""},
    {"no_inductance", "inductance=0", "0", ""},
    {"negative_settings", "inductance=-1.7 resistance=-1.5 current=-2.5", "value", "m.txt: "
        "warning: 'resistance', 'inductance' and 'current' are negative; the motor estimates "
        "assume positive values\n"},
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
