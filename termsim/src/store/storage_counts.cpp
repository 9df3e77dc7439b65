#include "store/storage_counts.h"

#include "termsim/simulator.h"

namespace termsim {

void SetStoredUsers(Simulator& sim, uint32_t count) { sim.SetStorageWord(kStoredUsersWord, count); }

void SetStoredTemplates(Simulator& sim, uint32_t count) {
  sim.SetStorageWord(kStoredTemplatesWord, count);
}

void SetStoredRecords(Simulator& sim, uint32_t count) {
  sim.SetStorageWord(kStoredRecordsWord, count);
}

void SetStoredOperations(Simulator& sim, uint32_t count) {
  sim.SetStorageWord(kStoredOperationsWord, count);
}

}  // namespace termsim
