// Runs the built termctl program and captures what it wrote and its status.
#pragma once

#include <string>
#include <vector>

namespace termctltest {

struct RunResult {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
  double seconds = 0;
};

// Arguments are quoted for the shell.
RunResult RunTermctl(const std::vector<std::string>& args);

// Splits text into lines (without their line ends).
std::vector<std::string> Lines(const std::string& text);
// Splits one CSV line (quoted fields allowed).
std::vector<std::string> CsvFields(const std::string& line);
// A field of a one-line JSON object: the number or the unescaped string.
std::string JsonField(const std::string& line, const std::string& name);

}  // namespace termctltest
