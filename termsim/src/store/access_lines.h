// Data-file lines of the terminal's faces and access-control data:
// tab-separated key=value fields, one entry per line.
//
//   [faces]      pin=N<TAB>index=I<TAB>data=HEX[<TAB>version=8]
//                (the template bytes, at most 2560; version 8 marks them)
//   [timezones]  zone=1-50<TAB>text=HHMMhhmm x 7 (56 digits)
//   [groups]     group=0-99[<TAB>zones=A,B,C][<TAB>mode=M]
//                [<TAB>fixed=A,B,C][<TAB>flag=0|1][<TAB>number=0-127]
//   [holidays]   number=1-99<TAB>dates=MMDDmmdd[<TAB>zone=Z]
//   [locks]      unlock=TEXT, or combination=0-10<TAB>groups=A,B,C,D,E
//   [messages]   number=N<TAB>text=TEXT[<TAB>tag=T][<TAB>minutes=M]
//                [<TAB>start=YYYY-MM-DD hh:mm:ss][<TAB>users=PIN,PIN,...]
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "termsim/access.h"

namespace termsim {

struct AccessLines {
  AccessData data;
  std::vector<Face> faces;
};

// True for the name of an access section ("faces", "timezones", ...).
bool IsAccessSection(std::string_view name);
// Adds one line of section `name`; false with the expected form in `error`.
bool ParseAccessLine(std::string_view name, std::string_view line, AccessLines* lines,
                     std::string* error);
// Copies the data of section `name` from `from` into `to` (faces excepted).
void TakeAccessSection(std::string_view name, const AccessData& from, AccessData* to);

}  // namespace termsim
