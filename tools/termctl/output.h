// Writers for records: aligned tables for people, CSV and JSON lines for scripts.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace termctl {

enum class Format { kTable, kCsv, kJson };

std::optional<Format> ParseFormat(const std::string& text);

struct Field {
  std::string name;
  std::string value;
  bool numeric = false;  // written bare in JSON
};
using Record = std::vector<Field>;

Field Text(std::string name, std::string value);
Field Number(std::string name, long long value);

// Writes the records; every record must carry the same field names.
void WriteRecords(std::FILE* out, const std::vector<Record>& records, Format format);

std::string CsvEscape(const std::string& text);
std::string JsonEscape(const std::string& text);
std::string JsonLine(const Record& record);

}  // namespace termctl
