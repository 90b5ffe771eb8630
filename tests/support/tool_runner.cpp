// What a row of an end-to-end table says of a run, on every system.
#include "support/tool_runner.hpp"

#include <filesystem>
#include <regex>
#include <sstream>

namespace kr570::test {

Tool& Tool::keeps(const std::string& path) {
    for (const auto& [file, text] : files) {
        if (file == path) {
            writesBytes(path, text);
        }
    }
    return *this;
}

RunResult Tool::in(const std::string& folder) const {
    for (const auto& [file, contents] : files) {
        writeFile(folder + "/" + file, contents);
    }
    return runTool(arguments, folder, setup);
}

namespace {

// The system calls of a traced run as rows give them: without the process id, descriptor
// numbers and the padding before the result, with the run's folder as DIR and the random part
// of a temporary file's name as XXXXXX.
std::vector<std::string> tracedCalls(const std::string& trace, const std::string& folder) {
    const std::regex call(R"(^\d+ +(.*?) *= (.*)$)");
    const std::regex descriptor(R"(\b\d+<)");
    const std::regex temporary(R"(([/"]\.[^/"<>]+\.)[A-Za-z0-9]{6}([">]))");
    std::vector<std::string> calls;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        std::smatch parts;
        if (!std::regex_match(line, parts, call)) {
            continue;
        }
        std::string text = parts[1].str() + " = " + parts[2].str();
        for (std::size_t at = text.find(folder); at != std::string::npos; at = text.find(folder)) {
            text.replace(at, folder.size(), "DIR");
        }
        text = std::regex_replace(text, descriptor, "<");
        calls.push_back(std::regex_replace(text, temporary, "$1XXXXXX$2"));
    }
    return calls;
}

}  // namespace

void expectOutcome(const Tool& row, const RunResult& run, const std::string& folder) {
    EXPECT_EQ(row.status, run.status) << run.err;
    EXPECT_EQ(row.signal, run.signal);
    if (row.out) {
        EXPECT_EQ(*row.out, run.out);
    }
    if (row.err) {
        EXPECT_EQ(*row.err, run.err);
    }
    if (!row.says.empty()) {
        EXPECT_NE(std::string::npos, run.err.find(row.says)) << run.err;
    }
    for (const auto& [file, contents] : row.written) {
        EXPECT_EQ(contents.has_value(), fileExists(folder + "/" + file)) << file;
        if (contents) {
            EXPECT_EQ(*contents, readFile(folder + "/" + file)) << file;
        }
    }
    if (row.calls) {
        ASSERT_TRUE(run.trace) << "the run was not traced";
        const std::string canonical = std::filesystem::canonical(folder).string();
        EXPECT_EQ(*row.calls, tracedCalls(*run.trace, canonical)) << *run.trace;
    }
}

RunResult check(const Tool& row) {
    const TempDir dir;
    RunResult run = row.in(dir.path());
    expectOutcome(row, run, dir.path());
    return run;
}

}  // namespace kr570::test
