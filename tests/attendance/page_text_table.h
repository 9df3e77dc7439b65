// Each page text with its UTF-8 spelling, for checking the GB2312 bytes.
#pragma once

#include <string_view>
#include <utility>

#include "attendance/page_texts.h"

namespace attendance::text {

inline constexpr std::pair<std::string_view, const char*> kAllTexts[] = {
    {kTimes, "次"},
    {kMinutes, "分钟"},
    {kHours, "小时"},
    {kDays, "天"},
    {kDate, "日期"},
    {kTo, "至"},
    {kPunchList, "流水纪录"},
    {kIdeographicSpace, "　"},
    {kExceptions, "考勤异常"},
    {kBadge, "工号"},
    {kName, "姓名"},
    {kDepartment, "部门"},
    {kShift, "班次"},
    {kOnDuty, "上班时间"},
    {kSignIn, "签到时间"},
    {kException, "异常"},
    {kWorkHours, "工作时长"},
    {kOvertime, "加班"},
    {kLeave, "请假"},
    {kOther, "其它"},
    {kAbsent, "旷工"},
    {kLate, "迟到"},
    {kEarly, "早退"},
    {kNotSet, "未设定"},
    {kStatistics, "考勤统计"},
    {kScheduled, "应到"},
    {kAttended, "实到"},
};

}  // namespace attendance::text
