// Data-file lines of the terminal's extras tables: tab-separated
// key=value fields, one entry per line.
//
//   [workcodes]    index=N<TAB>code=N            a plain work code
//                  code=TEXT<TAB>name=TEXT       a colour-screen work code
//   [shortkeys]    number=N<TAB>function=F<TAB>state=S[<TAB>times=H:M;...]
//                  [<TAB>auto=0|1][<TAB>values=A,B,C,D]
//   [bells]        number=N<TAB>time=HH:MM[<TAB>kind=B]
//   [tipcodes]     number=N<TAB>name=TEXT[<TAB>value=V]
//   [laborgroups]  number=N<TAB>name=TEXT[<TAB>value=V]
//   [laborcodes]   number=N<TAB>second=M<TAB>name=TEXT
//   [attstates]    state=0-7<TAB>value=V[<TAB>enabled=0|1]
//   [voices]       index=0-20<TAB>file=NAME[<TAB>enabled=0|1]
//   [statemap]     key=K<TAB>value=V
#pragma once

#include <string>
#include <string_view>

#include "termsim/extras.h"

namespace termsim {

// True for the name of an extras section ("workcodes", "bells", ...).
bool IsExtrasSection(std::string_view name);
// Empties the section's table in `data`.
void ClearExtrasSection(std::string_view name, ExtrasData* data);
// Adds one line of section `name`; false with the expected form in `error`.
bool ParseExtrasLine(std::string_view name, std::string_view line, ExtrasData* data,
                     std::string* error);
// Copies the tables of section `name` from `from` into `to`.
void TakeExtrasSection(std::string_view name, const ExtrasData& from, ExtrasData* to);

}  // namespace termsim
