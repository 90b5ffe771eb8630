// Helpers shared by the tests: in-memory streams, temporary folders and runs of the real
// executable.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "config/config_record.hpp"
#include "eeprom/eeprom_image.hpp"

namespace kr570::test {

// A readable stream holding `text`; closed by the caller.
std::FILE* streamWith(const std::string& text);

// Collects what is written to a stream.
class OutputCapture {
  public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    std::FILE* stream() const { return stream_; }
    std::string text();

  private:
    std::FILE* stream_;
};

// A folder that exists for the life of the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

// The default record, as the tool holds it after start-up.
ConfigRecord defaultRecord();

// Path of a file shipped in the source tree.
std::string sourcePath(const std::string& relative);

}  // namespace kr570::test
