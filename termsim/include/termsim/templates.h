// The terminal's fingerprint templates: one per user (PIN) and finger
// index, and the template file format.
//
// What the terminal answers (a refusal is CMD_ACK_ERROR; its connection
// word carries a reason: 1 malformed request, 2 no such user or template,
// 4 no room left):
//   7      data kind 2 (first request byte; old firmware sends none): the
//          template table, counted (a 32-bit byte count, then one record
//          {u16 size = length + 6, u16 PIN, u8 finger, u8 flag, bytes} per
//          template, by PIN and finger); an empty store is refused
//   6      the templates of one user (u16 PIN), counted; none: a count of 0
//   2221   CMD_ACK_OK when the terminal serves templates piecewise
//          (Profile::piecewise_templates), else CMD_ACK_UNKNOWN
//   2017   the template records (without the count) as records read
//          piecewise with 2018 and 2019
//   9      (u16 PIN, u8 finger) the template bytes; version-10 terminals
//          ("~QXFPVersion" 10) stream them (CMD_PREPARE_DATA and numbered
//          chunks), the others answer them inline, as does every terminal
//          for a template too big for one packet
//   88     (u16 PIN, u8 finger) the template bytes and one flag byte, inline
//   10     (u16 PIN, u8 finger, u16 length, template) stores with flag 1
//   87     (u16 PIN, u8 finger, u8 flag, u16 length, template) stores
//   17     (u16 PIN, u8 255, 8 zero bytes, u16 length, template) stores into
//          the first free finger 0-9 of the PIN (none free: reason 4)
//   132    (ID text 24, u8 flag, u8 finger, u16 length, template) stores for
//          the user known by that text
//          10 and 87 may carry their header alone (5 or 6 bytes): the
//          template is then the data uploaded before (CMD_PREPARE_DATA,
//          CMD_DATA), as version-10 hosts send it
//   19     (u16 PIN, u8 finger) deletes; 134 (ID text 24, u8 finger) deletes
//   1011   (a template) u16 PIN of the matching template (0: none), in a
//          4-byte answer (see Simulator::SetIdentifyAnswer)
//   2222   announces a batch package: the next 110 {u32 12, u32 0x80000}
//          applies the uploaded package to users and templates in one step,
//          or refuses it whole (commands/batch_package.h)
// A length field that disagrees with the bytes present, a finger above 15
// or an empty template is refused as malformed. Deleting a user deletes
// its templates; clear-data (14) with kind 2 or 0 drops them all.
// The store is in use from the first Simulator::SetTemplates (even empty)
// or template written by a host; until then 6, 7 and 2017 are left to the
// plain bulk data sets (Simulator::SetDataSet, SetRecordSet).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace termsim {

// A fingerprint template as the terminal stores it: one per user (PIN) and
// finger index.
struct FingerTemplate {
  uint16_t pin = 0;
  uint8_t finger = 0;  // 0-9 normally; stored as given
  uint8_t flag = 1;    // 1 valid, 3 duress
  std::vector<uint8_t> bytes;
  friend bool operator==(const FingerTemplate&, const FingerTemplate&) = default;
};

// One line of a template file: tab-separated key=value fields pin, finger,
// flag and data (the template in hexadecimal); pin and data are required,
// finger defaults to 0 and flag to 1. False with the reason in `error`.
bool ParseTemplateLine(const std::string& line, FingerTemplate* out, std::string* error);
// The line ParseTemplateLine reads back (without a line end).
std::string FormatTemplateLine(const FingerTemplate& t);

// A template file holds one template per line (see ParseTemplateLine);
// blank lines and lines starting with '#' are skipped. False with the file
// name, line number and reason in `error`.
bool LoadTemplates(const std::string& path, std::vector<FingerTemplate>* templates,
                   std::string* error);
bool SaveTemplates(const std::string& path, const std::vector<FingerTemplate>& templates,
                   std::string* error);

}  // namespace termsim
