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
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MotorEstimates,
    ::testing::Values(EstimateCase{"defaults", 1.7F, 1.5F, 24.0F, 2.5F, Expect::Value},
                      EstimateCase{"x_is_zero", 1.7F, 1.5F, 24.0F, 16.0F, Expect::PositiveInfinity},
                      EstimateCase{"x_negative", 1.7F, 1.5F, 24.0F, 20.0F, Expect::NotANumber},
                      EstimateCase{"no_resistance", 1.7F, 0.0F, 24.0F, 2.5F, Expect::NotANumber},
                      EstimateCase{"no_voltage", 1.7F, 1.5F, 0.0F, 2.5F, Expect::NotANumber},
                      EstimateCase{"no_current", 1.7F, 1.5F, 24.0F, 0.0F, Expect::Zero},
                      EstimateCase{"no_inductance", 0.0F, 1.5F, 24.0F, 2.5F, Expect::Zero}),
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
