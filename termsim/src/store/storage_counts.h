// The storage counters a terminal reports for what it holds (command 50),
// kept in step with the data sets loaded into the simulator.
#pragma once

#include <cstdint>

namespace termsim {

class Simulator;

// Word positions of the counters in the answer to command 50.
inline constexpr int kStoredUsersWord = 4;
inline constexpr int kStoredTemplatesWord = 6;
inline constexpr int kStoredRecordsWord = 8;
inline constexpr int kStoredOperationsWord = 10;
inline constexpr int kStoredAdministratorsWord = 12;

void SetStoredUsers(Simulator& sim, uint32_t count);
void SetStoredTemplates(Simulator& sim, uint32_t count);
void SetStoredRecords(Simulator& sim, uint32_t count);
void SetStoredOperations(Simulator& sim, uint32_t count);

}  // namespace termsim
