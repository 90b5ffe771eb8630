// One conversion of an input file to an output file, as the batch run, the one-file run and
// the dialogue do it: both files opened and checked, the configuration loaded through the
// pipeline, the output written so that nothing is lost.
#pragma once

#include <functional>

#include "driver/command_line.hpp"
#include "driver/console.hpp"
#include "driver/pipeline.hpp"
#include "driver/units.hpp"

namespace kr570 {

struct ConversionOutcome {
    int status = kExitSuccess;
    int refusedWarnings = 0;  // warnings that made a --strict run write nothing
    // Whether the run showed what a user must be able to read before a window that the run
    // owns closes: a warning, or the motor estimates of a batch run.
    bool worthReading = false;
};

// Converts `input` as `choices` say into the output that `outputName` names, which is asked
// for only once the input is open (the dialogue asks then); with `choices.besideInput` the
// output goes beside the input instead. Failures are told through `reporter`.
// With `units`, the run makes one unit of that table (its row is among `choices.sets`), and the
// input is the base that no two units may share an address in.
ConversionOutcome convertFile(const CommandLine& choices, const FileName& input,
                              const std::function<FileName()>& outputName, Console& console,
                              Reporter& reporter, Configuration& configuration,
                              const Units* units = nullptr);

}  // namespace kr570
