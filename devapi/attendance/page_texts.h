// The Chinese texts of the attendance pages, as GB2312 bytes: the pages are
// written in GB2312 and the library carries no code-page conversion.
#pragma once

#include <string_view>

namespace attendance::text {

inline constexpr std::string_view kTimes{"\xB4\xCE", 2};  // times (count)
inline constexpr std::string_view kMinutes{"\xB7\xD6\xD6\xD3", 4};  // minutes
inline constexpr std::string_view kHours{"\xD0\xA1\xCA\xB1", 4};  // hours
inline constexpr std::string_view kDays{"\xCC\xEC", 2};  // days
inline constexpr std::string_view kDate{"\xC8\xD5\xC6\xDA", 4};  // date
inline constexpr std::string_view kTo{"\xD6\xC1", 2};  // to
inline constexpr std::string_view kPunchList{"\xC1\xF7\xCB\xAE\xBC\xCD\xC2\xBC", 8};  // punch list
inline constexpr std::string_view kIdeographicSpace{"\xA1\xA1", 2};  // ideographic space
inline constexpr std::string_view kExceptions{"\xBF\xBC\xC7\xDA\xD2\xEC\xB3\xA3", 8};  // attendance exceptions
inline constexpr std::string_view kBadge{"\xB9\xA4\xBA\xC5", 4};  // badge number
inline constexpr std::string_view kName{"\xD0\xD5\xC3\xFB", 4};  // name
inline constexpr std::string_view kDepartment{"\xB2\xBF\xC3\xC5", 4};  // department
inline constexpr std::string_view kShift{"\xB0\xE0\xB4\xCE", 4};  // shift
inline constexpr std::string_view kOnDuty{"\xC9\xCF\xB0\xE0\xCA\xB1\xBC\xE4", 8};  // on-duty time
inline constexpr std::string_view kSignIn{"\xC7\xA9\xB5\xBD\xCA\xB1\xBC\xE4", 8};  // sign-in time
inline constexpr std::string_view kException{"\xD2\xEC\xB3\xA3", 4};  // exception
inline constexpr std::string_view kWorkHours{"\xB9\xA4\xD7\xF7\xCA\xB1\xB3\xA4", 8};  // work hours
inline constexpr std::string_view kOvertime{"\xBC\xD3\xB0\xE0", 4};  // overtime
inline constexpr std::string_view kLeave{"\xC7\xEB\xBC\xD9", 4};  // leave
inline constexpr std::string_view kOther{"\xC6\xE4\xCB\xFC", 4};  // other
inline constexpr std::string_view kAbsent{"\xBF\xF5\xB9\xA4", 4};  // absent
inline constexpr std::string_view kLate{"\xB3\xD9\xB5\xBD", 4};  // late
inline constexpr std::string_view kEarly{"\xD4\xE7\xCD\xCB", 4};  // early leave
inline constexpr std::string_view kNotSet{"\xCE\xB4\xC9\xE8\xB6\xA8", 6};  // not set
inline constexpr std::string_view kStatistics{"\xBF\xBC\xC7\xDA\xCD\xB3\xBC\xC6", 8};  // attendance statistics
inline constexpr std::string_view kScheduled{"\xD3\xA6\xB5\xBD", 4};  // scheduled
inline constexpr std::string_view kAttended{"\xCA\xB5\xB5\xBD", 4};  // attended

}  // namespace attendance::text
