#include "text/chord_aliases.h"

#include <plist/plist.h>

#include <filesystem>
#include <memory>
#include <span>

#include "base/atomic_file.h"
#include "base/settings_store.h"
#include "text/xf_chord.h"

namespace sw {

namespace {

// In the order of XFChord::types(): Maj, Maj6, Maj7, ... 1+2+5. No alias may start with "b"
// or "#": after a root letter that would read as an accidental ("D#5" is D sharp, type "5").
const char* const kDefaultAliases[] = {
    "M maj major",                 // Maj
    "6 M6 maj6",                   // Maj6
    "M7 maj7 ma7 j7",              // Maj7
    "M7(#11) maj7(#11) M7#11 maj7#11",
    "add9 (9) M(9) maj(9) Madd9",  // Maj(9)
    "M9 maj9 M7(9) maj7(9)",       // Maj7(9)
    "69 6(9) 6/9 M6(9) maj6(9)",   // Maj6(9)
    "+ +5 (#5) aug5",              // aug
    "m mi -",                      // min
    "m6 mi6 -6",                   // min6
    "m7 mi7 -7",                   // min7
    "m7b5 m7(b5) m7-5 mi7b5 -7b5", // min7b5
    "madd9 m(9) m(add9)",          // min(9)
    "m9 m7(9) mi9 -9",             // min7(9)
    "m11 m7(11) mi11 -11",         // min7(11)
    "mM7 m(maj7) mmaj7 m(M7) -M7", // minMaj7
    "mM9 mM7(9) m(maj9) mmaj9",    // minMaj7(9)
    "o mb5 m(b5)",                 // dim
    "o7 dim(7)",                   // dim7
    "7 dom7",                      // 7th
    "7sus 7(sus4)",                // 7sus4
    "7(b5) 7-5",                   // 7b5
    "9 dom9",                      // 7(9)
    "7#11 7(+11)",                 // 7(#11)
    "13 7add13",                   // 7(13)
    "7b9 7(-9) 7-9",               // 7(b9)
    "7b13 7(-13)",                 // 7(b13)
    "7#9 7(+9) 7+9",               // 7(#9)
    "M7+ maj7+ M7#5 maj7#5 M7(#5)",// Maj7aug
    "7+ +7 7#5 7(#5) aug7",        // 7aug
    "1 8va",                       // 1+8
    "5 no3 (no3)",                 // 1+5
    "sus",                         // sus4
    "sus2 2",                      // 1+2+5
};

constexpr size_t kDefinitionCount = 34;
static_assert(std::size(kDefaultAliases) == kDefinitionCount);
// Far beyond any real list (about 2 KB). Also bounds the nesting depth a file can hold, which
// the property-list parser follows by recursion.
constexpr size_t kMaxFileSize = 64 << 10;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

ChordAliasReadResult failure(OSStatus status, std::string message) {
  ChordAliasReadResult result;
  result.error = {status, "", std::move(message)};
  result.definitions.assign(kDefinitionCount, "");
  return result;
}

// Length of the UTF-8 sequence at text[i] when it is a valid scalar value, else 0.
size_t sequenceLength(const std::string& text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
  uint32_t value = lead & (0xFF >> (length + 1));
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i + k) & 0x3F);
  }
  static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  if (value == 0xFFFE || value == 0xFFFF) return 0;
  return length;
}

}  // namespace

std::string chordAliasesFilename() {
  return SettingsStore::configDirectory() + "/com.tessary.scorewell.xg_chords_aliases.plist";
}

const ChordAliasDefinitions& defaultChordAliasDefinitions() {
  static const ChordAliasDefinitions definitions(std::begin(kDefaultAliases), std::end(kDefaultAliases));
  return definitions;
}

bool isPlistText(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    size_t length = sequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

ChordAliasReadResult parseChordAliasDefinitions(const std::string& bytes) {
  if (bytes.empty()) return failure(eofErr, "the file is empty");
  if (bytes.size() > kMaxFileSize) return failure(paramErr, "the file is too large for a definitions list");
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
  PlistPtr owner(root);
  if (!root) return failure(paramErr, "the file is not a property list (damaged or truncated)");
  if (plist_get_node_type(root) != PLIST_ARRAY) return failure(paramErr, "the property list is not an array of strings");

  ChordAliasReadResult result;
  uint32_t count = plist_array_get_size(root);
  size_t notText = 0;
  for (uint32_t i = 0; i < count && i < kDefinitionCount; ++i) {
    plist_t item = plist_array_get_item(root, i);
    std::string aliases;
    if (item && plist_get_node_type(item) == PLIST_STRING) {
      // Not plist_get_string_val: it aborts on a damaged string holding a NUL.
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(item, &length);
      if (text) aliases.assign(text, size_t(length));
    }
    if (!isPlistText(aliases) || (item && plist_get_node_type(item) != PLIST_STRING)) {
      aliases.clear();
      ++notText;
    }
    result.definitions.push_back(std::move(aliases));
  }
  result.definitions.resize(kDefinitionCount);
  std::string& warning = result.warning.message;
  if (count != kDefinitionCount) {
    warning = "the list has " + std::to_string(count) + " entries instead of " + std::to_string(kDefinitionCount) +
              (count < kDefinitionCount ? "; the missing types have no aliases" : "; the extra ones are ignored");
  }
  if (notText) {
    if (!warning.empty()) warning += "; ";
    warning += std::to_string(notText) + " entries are not valid text and were read as empty";
  }
  if (!warning.empty()) result.warning.status = paramErr;
  return result;
}

ChordAliasReadResult readChordAliasDefinitions(const std::string& path) {
  std::string bytes;
  OSStatus status = readWholeFile(path, bytes);
  ChordAliasReadResult result = status == noErr ? parseChordAliasDefinitions(bytes)
                                                : failure(status, status == fnfErr ? "the file does not exist"
                                                                                   : statusDescription(status));
  result.error.path = path;
  if (result.warning) result.warning.path = path;
  return result;
}

OSStatus serializeChordAliasDefinitions(const ChordAliasDefinitions& definitions, PlistFormat format,
                                        std::string& bytes) {
  PlistPtr array(plist_new_array());
  for (size_t i = 0; i < kDefinitionCount; ++i) {
    const std::string& aliases = i < definitions.size() ? definitions[i] : std::string();
    if (!isPlistText(aliases)) return paramErr;
    plist_array_append_item(array.get(), plist_new_string(aliases.c_str()));
  }
  char* out = nullptr;
  uint32_t length = 0;
  if (format == PlistFormat::XML) {
    plist_to_xml(array.get(), &out, &length);
  } else {
    plist_to_bin(array.get(), &out, &length);
  }
  if (!out) return memFullErr;
  bytes.assign(out, length);
  if (format == PlistFormat::XML)
    plist_to_xml_free(out);
  else
    plist_to_bin_free(out);
  return noErr;
}

Error writeChordAliasDefinitions(const std::string& path, const ChordAliasDefinitions& definitions,
                                 PlistFormat format) {
  std::string bytes;
  if (OSStatus status = serializeChordAliasDefinitions(definitions, format, bytes); status != noErr)
    return {status, path, status == paramErr ? "an alias text is not valid UTF-8 or holds control characters"
                                             : statusDescription(status)};
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  OSStatus status = writeFileAtomically(
      path, std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  if (status != noErr) return {status, path, statusDescription(status)};
  return {};
}

}  // namespace sw
