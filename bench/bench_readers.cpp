// Throughput of the two readers of input files, on 64 MiB of generated text each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "config/config_record.hpp"
#include "eeprom/eeprom_image.hpp"
#include "generated_files.hpp"
#include "hex/hex_reader.hpp"
#include "text/config_parser.hpp"

namespace {

constexpr std::size_t kFileBytes = 64U << 20;

// The generated files, made once for the whole run and removed at its end.
struct Inputs {
    std::filesystem::path folder;
    std::string hex;
    std::string text;
    std::size_t hexBytes = 0;
    std::size_t textBytes = 0;

    Inputs() {
        folder = std::filesystem::temp_directory_path() / "kr570-bench";
        std::filesystem::create_directories(folder);
        hex = (folder / "big.hex").string();
        text = (folder / "big.txt").string();
        kr570::bench::writeHexFile(hex, kFileBytes);
        kr570::bench::writeConfigFile(text, kFileBytes);
        hexBytes = std::filesystem::file_size(hex);
        textBytes = std::filesystem::file_size(text);
    }
    ~Inputs() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

const Inputs& inputs() {
    static const Inputs generated;
    return generated;
}

void readHexFile(benchmark::State& state) {
    auto image = std::make_unique<kr570::EepromImage>();
    for (auto _ : state) {
        std::FILE* input = std::fopen(inputs().hex.c_str(), "r");
        kr570::readHex(input, *image);
        std::fclose(input);
        benchmark::DoNotOptimize(image->data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(inputs().hexBytes));
}
BENCHMARK(readHexFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void parseConfigFile(benchmark::State& state) {
    std::FILE* console = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        kr570::ConfigRecord record{};
        kr570::setDefaults(record);
        std::FILE* input = std::fopen(inputs().text.c_str(), "r");
        kr570::parseConfigText(input, record, console);
        std::fclose(input);
        benchmark::DoNotOptimize(record);
    }
    std::fclose(console);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(inputs().textBytes));
}
BENCHMARK(parseConfigFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    inputs();  // generate the files before any timing starts
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
