#include "sysex/gs_parameters.h"

namespace sw {

// The address map is not described yet: every GS data set is reported without a label.

void GSParameters::readSystemParameters(const SysexBytes&, size_t, SysexFields&) {}
void GSParameters::readPatchParameters(const SysexBytes&, size_t, SysexFields&) {}
void GSParameters::readPartParameters1(int, const SysexBytes&, size_t, SysexFields&) {}
void GSParameters::readPartParameters2(int, const SysexBytes&, size_t, SysexFields&) {}
void GSParameters::readDrumSetupParameters(const SysexBytes&, size_t, SysexFields&) {}
void GSParameters::readIndividualParameters(const SysexBytes&, size_t, SysexFields&) {}

}  // namespace sw
