// Readers that describe Roland GS data-set messages: each turns the address of one parameter
// into a label (the type) and its data into a shown value (the text), and marks the values
// and names that may be edited in place.
//
// Every reader is given the event data and the offset the decoder hands it, counted from F0
// at 0 for a one-byte length quantity and moved on by the extra bytes of a longer one: 8 (the
// last address byte) for the system, patch and part readers, 7 (the middle address byte) for
// the drum-setup reader and 5 (the command byte) for the display model 45. The first data
// byte of a model 42 message stands at position 9 with a one-byte length. Reads go through
// SysexBytes and stop before the checksum, so a short message simply does not match, and a
// value whose bytes are missing is neither shown nor editable.
#pragma once

#include <cstddef>

#include "sysex/sysex_fields.h"

namespace sw {

class GSParameters {
 public:
  static void readSystemParameters(const SysexBytes& bytes, size_t offset, SysexFields& fields);
  static void readPatchParameters(const SysexBytes& bytes, size_t offset, SysexFields& fields);
  static void readPartParameters1(int part, const SysexBytes& bytes, size_t offset, SysexFields& fields);
  static void readPartParameters2(int part, const SysexBytes& bytes, size_t offset, SysexFields& fields);
  static void readDrumSetupParameters(const SysexBytes& bytes, size_t offset, SysexFields& fields);
  static void readIndividualParameters(const SysexBytes& bytes, size_t offset, SysexFields& fields);

  // Part number of the low nibble of an address byte: 0 is part 10, 1-9 are parts 1-9,
  // 10-15 are parts 11-16.
  static int partNumber(int nibble) {
    nibble &= 0x0F;
    return nibble == 0 ? 10 : nibble <= 9 ? nibble : nibble + 1;
  }
};

}  // namespace sw
