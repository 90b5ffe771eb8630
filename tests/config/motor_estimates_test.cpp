#include "config/motor_estimates.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

enum class Expect { Value, PositiveInfinity, NotANumber, Zero };

struct EstimateCase : test::NamedCase {
    float inductance, resistance, drive_voltage, current;
    Expect expect;
    std::string warning;  // what the run warns about these settings
};

class MotorEstimates : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(MotorEstimates, FollowTheRiseTimeFormula) {
    const EstimateCase& c = GetParam();
    const double onTime =
        onTimeMicroseconds(c.inductance, c.resistance, c.drive_voltage, c.current);
    const double duty = dutyCycleEstimate(c.inductance, c.resistance, c.drive_voltage, c.current);
    const double slew = slewRateEstimate(c.inductance, c.resistance, c.drive_voltage, c.current);
    for (const double value : {onTime, duty, slew}) {
        switch (c.expect) {
            case Expect::PositiveInfinity:
                EXPECT_TRUE(std::isinf(value) && value > 0) << value;
                break;
            case Expect::NotANumber:
                EXPECT_TRUE(std::isnan(value)) << value;
                break;
            case Expect::Zero:
                EXPECT_EQ(0.0, value);
                break;
            case Expect::Value:
                EXPECT_TRUE(std::isfinite(value) && value > 0) << value;
                break;
        }
    }
    EXPECT_TRUE(duty == slew || (std::isnan(duty) && std::isnan(slew)))
        << "duty cycle and slew rate share one formula";

    ConfigRecord record = test::defaultRecord();
    record.inductance = c.inductance;
    record.resistance = c.resistance;
    record.drive_voltage = c.drive_voltage;
    record.current = c.current;
    test::OutputCapture warnings;
    Reporter reporter(nullptr, warnings.stream(), nullptr, {});
    Diagnostics diagnostics(reporter, "m.txt");
    warnAboutMotorSettings(record, diagnostics);
    EXPECT_EQ(c.warning, warnings.text());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MotorEstimates,
    ::testing::Values(
        EstimateCase{"defaults", 1.7F, 1.5F, 24.0F, 2.5F, Expect::Value, ""},
        EstimateCase{"x_is_zero", 1.7F, 1.5F, 24.0F, 16.0F, Expect::PositiveInfinity,
                     "m.txt: warning: the calculated motor parameters are infinite: 'current' x "
                     "'resistance' (24) is not below 'drive_voltage' (24)\n"},
        EstimateCase{"x_negative", 1.7F, 1.5F, 24.0F, 20.0F, Expect::NotANumber,
                     "m.txt: warning: the calculated motor parameters are not a number: 'current' "
                     "x 'resistance' (30) is not below 'drive_voltage' (24)\n"},
        EstimateCase{"no_resistance", 1.7F, 0.0F, 24.0F, 2.5F, Expect::NotANumber,
                     "m.txt: warning: the calculated motor parameters are not a number: "
                     "'resistance' is 0\n"},
        EstimateCase{"no_voltage", 1.7F, 1.5F, 0.0F, 2.5F, Expect::NotANumber,
                     "m.txt: warning: the calculated motor parameters are not a number: "
                     "'drive_voltage' is 0\n"},
        EstimateCase{"no_current", 1.7F, 1.5F, 24.0F, 0.0F, Expect::Zero, ""},
        EstimateCase{"no_inductance", 0.0F, 1.5F, 24.0F, 2.5F, Expect::Zero, ""},
        EstimateCase{"negative_settings", -1.7F, -1.5F, 24.0F, -2.5F, Expect::Value,
                     "m.txt: warning: 'resistance', 'inductance' and 'current' are negative; the "
                     "motor estimates assume positive values\n"}),
    test::CaseName());

TEST(MotorParameterBlock, DefaultsPrintTheKnownFigures) {
    test::OutputCapture out;
    writeMotorParameterBlock(out.stream(), test::defaultRecord());
    EXPECT_EQ(test::kDefaultMotorBlock, out.text());
}

TEST(MotorParameterBlock, NonFiniteEstimatesStillPrintFourLines) {
    ConfigRecord record = test::defaultRecord();
    record.current = 16.0F;  // I*R/V = 1
    test::OutputCapture out;
    writeMotorParameterBlock(out.stream(), record);
    EXPECT_EQ(
        "; Calculated motor parameters:\n"
        ";   On time= inf usecond\n"
        ";   Duty Cycle= inf %\n"
        ";   Slew Rate= inf \n\n",
        out.text());
}

}  // namespace
}  // namespace kr570
