// The conversions' reading half, in process, on what users convert: the six-line
// configuration text, its six-line HEX file, and a whole 50,000-byte EEPROM image as Intel HEX.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "driver/pipeline.hpp"
#include "generated_files.hpp"

namespace {

// The inputs, made once for the whole run and removed at its end.
struct Inputs {
    std::filesystem::path folder;
    std::string text;
    std::string hex;
    std::string image;

    Inputs() {
        folder = std::filesystem::temp_directory_path() / "kr570-bench";
        std::filesystem::create_directories(folder);
        text = (folder / "default.txt").string();
        hex = (folder / "default.hex").string();
        image = (folder / "image.hex").string();
        std::filesystem::copy_file(KR570_SOURCE_DIR "/examples/default.txt", text,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(KR570_SOURCE_DIR "/examples/default.hex", hex,
                                   std::filesystem::copy_options::overwrite_existing);
        kr570::bench::writeWholeImage(image);
    }
    ~Inputs() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

const Inputs& inputs() {
    static const Inputs made;
    return made;
}

void readFile(benchmark::State& state, const std::string& path, kr570::FileKind kind) {
    auto configuration = std::make_unique<kr570::Configuration>();
    const kr570::FileName name{path};
    for (auto _ : state) {
        std::FILE* input = std::fopen(path.c_str(), "rb");
        kr570::Reporter reporter;
        kr570::ByteSource source(input);
        (void)kr570::loadConfiguration(kr570::Input{source, name, kind}, {}, reporter,
                                       *configuration);
        std::fclose(input);
        benchmark::DoNotOptimize(configuration->image.data());
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void sixLineText(benchmark::State& state) {
    readFile(state, inputs().text, kr570::FileKind::Text);
}
BENCHMARK(sixLineText);

void sixLineHex(benchmark::State& state) {
    readFile(state, inputs().hex, kr570::FileKind::IntelHex);
}
BENCHMARK(sixLineHex);

void wholeImageHex(benchmark::State& state) {
    readFile(state, inputs().image, kr570::FileKind::IntelHex);
}
BENCHMARK(wholeImageHex)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    inputs();  // make the files before any timing starts
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
