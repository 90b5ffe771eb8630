#include "text/config_report.hpp"

#include <cerrno>
#include <cstdlib>

#include "config/motor_estimates.hpp"
#include "io/text_output.hpp"
#include "platform/platform.hpp"

namespace kr570 {

namespace {

// Settings the controller treats as on only when they hold exactly 1.
const char* exactlyOne(std::uint8_t value, const char* on, const char* off) {
    return value == 1 ? on : off;
}

// Settings the controller treats as on whenever they are not 0.
const char* nonZero(std::uint8_t value, const char* on, const char* off) {
    return value != 0 ? on : off;
}

const char* stepmodeLine(std::uint8_t code) {
    switch (code) {
        case 'w':
            return "stepmode  wave\n\n";
        case 'f':
            return "stepmode  full\n\n";
        case 'h':
            return "stepmode  half\n\n";
        default:
            return "";  // an unknown code has no line: reading back keeps the default
    }
}

// The notice comes from the device's dump, so the report shows it without letting it steer
// the text: a line feed in it would start a line that is no comment, and compiling the report
// would then set what the notice says. A control character is written as '?', like one in the
// input's name; every other byte stands as it is. The notice ends at its first NUL, or after
// its 25 bytes when it holds none.
void writeNotice(std::FILE* out, const char* notice, std::size_t size) {
    for (std::size_t i = 0; i < size && notice[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(notice[i]);
        const char shown = byte < 0x20 || byte == 0x7F ? '?' : notice[i];
        putBytes(&shown, 1, out);
    }
}

void writeHeader(std::FILE* out, const ConfigRecord& r, const std::string& sourceName,
                 const std::tm& created) {
    printText(out, "%s V%s\n", kReportStart, KR570_VERSION);
    printText(out, "; Source file: %s\n", sourceName.c_str());
    char time[48];
    char date[48];
    (void)std::snprintf(time, sizeof time, "%02d:%02d:%02d", created.tm_hour, created.tm_min,
                        created.tm_sec);
    (void)std::snprintf(date, sizeof date, "%02d/%02d/%02d", created.tm_mon + 1, created.tm_mday,
                        created.tm_year % 100);
    printText(out, "; File created: %s ", time);
    printText(out, "%s\n", date);
    printText(out, ";\n; Product Id: %d\n;\n", r.productId);
    printText(out, ";\n; Software Revision Level: %d.%d\n;\n", r.revisionMajor, r.revisionMinor);
    putText("; Embedded Copyright Notice:  ", out);
    writeNotice(out, r.notice.data(), r.notice.size());
    putText("\n;\n\n", out);
}

void writeSettings(std::FILE* out, const ConfigRecord& r) {
    putText("; I2C Configuration - I2C address in hex\n", out);
    putText(nonZero(r.i2cmode, "i2cmode  on\n", "i2cmode  off\n"), out);
    printText(out, "TWI_slaveAddress 0x%x\n\n", r.TWI_slaveAddress);

    putText("; Stepper motor parameters\n", out);
    putText(exactlyOne(r.followmotorparameters, "followmotorparameters yes\n",
                       "followmotorparameters no\n"),
            out);
    printText(out, "resistance %s\n", decimal(static_cast<double>(r.resistance), 2).c_str());
    printText(out, "inductance %s\n", decimal(static_cast<double>(r.inductance), 2).c_str());
    printText(out, "current %s\n", decimal(static_cast<double>(r.current), 2).c_str());
    printText(out, "drive_voltage %s\n\n",
              decimal(static_cast<double>(r.drive_voltage), 2).c_str());
    writeMotorParameterBlock(out, r);
}

void writeDriveSettings(std::FILE* out, const ConfigRecord& r) {
    putText("; Potentiometer set PWM parameters\n", out);
    putText(exactlyOne(r.followpots, "followpots yes\n", "followpots no\n"), out);
    printText(out, "ontime  %d\n", r.ontime);
    printText(out, "dutycycle  %d\n", r.dutycycle);
    printText(out, "slewrate  %d\n", r.slewrate);
    printText(out, "recoverytime  %d\n\n", r.recoverytime);

    putText("; Step mode header selection switch enable/disable and step mode setting\n", out);
    putText(exactlyOne(r.followstepheader, "followstepheader  yes\n", "followstepheader  no\n"),
            out);
    putText(stepmodeLine(r.stepmode), out);

    putText(";  Automatic Motor shut off mode and time (msec) - enable/disable\n", out);
    putText(exactlyOne(r.automotorshutoff, "automotorshutoff  yes\n", "automotorshutoff  no\n\n"),
            out);
    printText(out, "motorshutofftime  %d\n\n", static_cast<int>(r.motorshutofftime));

    putText(";  Reduce motor hold torque enable/disable and time (msec)\n", out);
    putText(exactlyOne(r.motorpowerreductionmode, "motorpowerreductionmode  on\n",
                       "motorpowerreductionmode  off\n"),
            out);
    printText(out, "motorpowerreduction  %d\n", r.motorpowerreduction);
    printText(out, "powerreductiontime  %d\n\n", static_cast<int>(r.powerreductiontime));

    putText("; Set step/dir input polarity\n", out);
    putText(r.steppolarity == 'p' ? "steppolarity positive\n" : "steppolarity negative\n", out);
    putText(r.dirpolarity == 'c' ? "dirpolarity highcw\n\n" : "dirpolarity lowcw\n\n", out);

    putText("; Limit switch and eStop switch checking\n", out);
    putText(nonZero(r.checklimitswitch, "checklimitswitch  yes\n", "checklimitswitch  no\n"), out);
    putText(nonZero(r.checkestop, "checkestop  yes\n\n", "checkestop  no\n\n"), out);

    putText("; Follow step/direction signal inputs or just i2c\n", out);
    putText(nonZero(r.followstepdir, "followstepdir  yes\n", "followstepdir  no\n"), out);
    putText("\n; End of KR570 Configuration settings\n", out);
}

}  // namespace

void writeConfigReport(std::FILE* output, const ConfigRecord& record, const std::string& sourceName,
                       const std::tm& created) {
    writeHeader(output, record, sourceName, created);
    writeSettings(output, record);
    writeDriveSettings(output, record);
}

std::tm reportCreationTime(const char* sourceDateEpoch, std::time_t now) {
    if (sourceDateEpoch != nullptr && *sourceDateEpoch >= '0' && *sourceDateEpoch <= '9') {
        char* end = nullptr;
        errno = 0;
        const long long seconds = std::strtoll(sourceDateEpoch, &end, 10);
        const auto epoch = static_cast<std::time_t>(seconds);
        if (errno == 0 && *end == '\0' && epoch == seconds) {
            if (const auto universal = platform::universalTime(epoch)) {
                return *universal;
            }
        }
    }
    return platform::localTime(now);
}

std::tm reportCreationTime() {
    return reportCreationTime(std::getenv("SOURCE_DATE_EPOCH"), std::time(nullptr));
}

}  // namespace kr570
