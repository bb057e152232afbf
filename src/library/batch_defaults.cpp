#include "library/batch_defaults.h"

#include "base/settings_store.h"

namespace sw {

void registerBatchDefaults() {
  // Keys without an entry here read as NO, 0 or "" ("setCreator", "fixSignature",
  // "fixBadDeltaTime", "fixMissingResetMessage", "addGSReset", "addXGReset", "formatChosen",
  // "compressed", "karaokeFormatChosen", "compandAction").
  SettingsStore::shared().registerDefaults({
      {"currentCreator", "Krl2"},
      {"useGMInstruments", true},
      {"warnBeforeDestructiveProcessing", true},
      {"fixExtension", true},
      {"enableFixButton", true},
      {"addGMReset", true},
      {"maxDeltaTime", 60},
  });
}

}  // namespace sw
