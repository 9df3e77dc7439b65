#include "run_termctl.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace termctltest {

namespace {

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (const char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

RunResult RunTermctl(const std::vector<std::string>& args) {
  static std::atomic<int> counter{0};
  const std::string err_path =
      "/tmp/termctl_test_err_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  std::string command = Quote(TERMCTL_BINARY);
  for (const auto& a : args) command += " " + Quote(a);
  command += " 2>" + err_path;
  RunResult result;
  const auto start = std::chrono::steady_clock::now();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) result.out.append(buf, n);
  const int status = pclose(pipe);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.err = ReadFile(err_path);
  std::remove(err_path.c_str());
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream ss(text);
  std::string line;
  while (std::getline(ss, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::string JsonField(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  const size_t at = line.find(key);
  if (at == std::string::npos) return "<missing>";
  size_t i = at + key.size();
  std::string value;
  if (i < line.size() && line[i] == '"') {
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value += line[i];
    }
    return value;
  }
  while (i < line.size() && line[i] != ',' && line[i] != '}') value += line[i++];
  return value;
}

}  // namespace termctltest
