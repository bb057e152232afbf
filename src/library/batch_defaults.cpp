#include "library/batch_defaults.h"

#include "library/factory_defaults.h"
#include "library/text_musical_defaults.h"

namespace sw {

void registerBatchDefaults() {
  // The application's factory values ("currentCreator" "Krl2", "fixExtension" and
  // "addGMReset" YES, "warnBeforeDestructiveProcessing" YES, "useGMInstruments" YES...) and
  // those of the text and musical commands. Keys without one read as NO, 0 or "": among
  // them "setCreator", "fixSignature", "fixBadDeltaTime", "fixMissingResetMessage",
  // "addGSReset", "addXGReset", "formatChosen", "compressed", "karaokeFormatChosen" and
  // "compandAction".
  registerFactoryDefaults();
  registerTextAndMusicalDefaults();
}

}  // namespace sw
