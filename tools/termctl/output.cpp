#include "output.h"

#include <algorithm>

namespace termctl {

std::optional<Format> ParseFormat(const std::string& text) {
  if (text == "table") return Format::kTable;
  if (text == "csv") return Format::kCsv;
  if (text == "json") return Format::kJson;
  return std::nullopt;
}

Field Text(std::string name, std::string value) {
  return Field{std::move(name), std::move(value), false};
}

Field Number(std::string name, long long value) {
  return Field{std::move(name), std::to_string(value), true};
}

std::string CsvEscape(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string JsonEscape(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

std::string JsonLine(const Record& record) {
  std::string line = "{";
  for (size_t i = 0; i < record.size(); ++i) {
    if (i != 0) line += ",";
    line += "\"" + JsonEscape(record[i].name) + "\":";
    line += record[i].numeric ? record[i].value : "\"" + JsonEscape(record[i].value) + "\"";
  }
  return line + "}";
}

void WriteRecords(std::FILE* out, const std::vector<Record>& records, Format format) {
  if (format == Format::kJson) {
    for (const Record& r : records) std::fprintf(out, "%s\n", JsonLine(r).c_str());
    return;
  }
  if (records.empty()) {
    if (format == Format::kTable) std::fprintf(out, "(none)\n");
    return;
  }
  const Record& head = records.front();
  if (format == Format::kCsv) {
    for (size_t i = 0; i < head.size(); ++i) {
      std::fprintf(out, "%s%s", i ? "," : "", CsvEscape(head[i].name).c_str());
    }
    std::fprintf(out, "\n");
    for (const Record& r : records) {
      for (size_t i = 0; i < r.size(); ++i) {
        std::fprintf(out, "%s%s", i ? "," : "", CsvEscape(r[i].value).c_str());
      }
      std::fprintf(out, "\n");
    }
    return;
  }
  std::vector<size_t> widths(head.size());
  for (size_t i = 0; i < head.size(); ++i) widths[i] = head[i].name.size();
  for (const Record& r : records) {
    for (size_t i = 0; i < r.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], r[i].value.size());
    }
  }
  auto row = [&](auto value_of) {
    std::string line;
    for (size_t i = 0; i < head.size(); ++i) {
      std::string cell = value_of(i);
      if (i + 1 < head.size()) cell.resize(std::max(cell.size(), widths[i]), ' ');
      line += (i ? "  " : "") + cell;
    }
    std::fprintf(out, "%s\n", line.c_str());
  };
  row([&](size_t i) { return head[i].name; });
  for (const Record& r : records) row([&](size_t i) { return i < r.size() ? r[i].value : ""; });
}

}  // namespace termctl
