#include "text/xf_chord_manager.h"

#include <cctype>

#include "base/log.h"
#include "base/trash.h"
#include "text/chord_name.h"

namespace sw {

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::vector<std::string> splitAliases(const std::string& text) {
  std::vector<std::string> aliases;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isSpace(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !isSpace(text[i])) ++i;
    if (i > start) aliases.push_back(text.substr(start, i - start));
  }
  return aliases;
}

}  // namespace

XFChordManager::XFChordManager(std::string userFile) : userFile_(std::move(userFile)) { loadDefinitions(); }

XFChordManager& XFChordManager::sharedInstance() {
  static XFChordManager manager(chordAliasesFilename());
  return manager;
}

void XFChordManager::loadDefinitions() {
  ChordAliasReadResult result = readChordAliasDefinitions(userFile_);
  if (result.error.status == fnfErr) {
    definitions_ = defaultChordAliasDefinitions();
  } else if (result.error) {
    logMessage("Chord aliases " + userFile_ + " could not be read (" + result.error.message +
               "); using the default aliases");
    definitions_ = defaultChordAliasDefinitions();
  } else {
    if (result.warning) logMessage("Chord aliases " + userFile_ + ": " + result.warning.message);
    definitions_ = std::move(result.definitions);
  }
  setupList();
}

Error XFChordManager::loadDefinitionsFile(const std::string& path) {
  ChordAliasReadResult result = readChordAliasDefinitions(path);
  if (result.error) return result.error;
  if (result.warning) logMessage("Chord aliases " + path + ": " + result.warning.message);
  definitions_ = std::move(result.definitions);
  setupList();
  return {};
}

void XFChordManager::setupList() {
  std::vector<XFChordTypeAliases> list;
  const auto& names = XFChord::types();
  for (size_t i = 0; i < names.size(); ++i) list.push_back({names[i], i < definitions_.size() ? definitions_[i] : ""});
  setTypes(std::move(list));
}

void XFChordManager::setTypes(std::vector<XFChordTypeAliases> types) {
  types_ = std::move(types);
  setupChordsMap();
}

OSStatus XFChordManager::setAliases(size_t row, std::string aliases) {
  if (row >= types_.size() || !isPlistText(aliases)) return paramErr;
  types_[row].aliases = std::move(aliases);
  setupChordsMap();
  return noErr;
}

void XFChordManager::setupChordsMap() {
  chordsMap_.clear();
  duplicates_.clear();
  for (const auto& name : XFChord::types()) chordsMap_[name] = name;
  for (const auto& record : types_) {
    for (auto& alias : splitAliases(record.aliases)) {
      auto found = chordsMap_.find(alias);
      if (found != chordsMap_.end()) {
        logMessage("Duplicate alias: [" + alias + "]");
        duplicates_.push_back(alias);
        found->second = record.XF;
      } else {
        chordsMap_.emplace(std::move(alias), record.XF);
      }
    }
  }
}

std::optional<XFChord> XFChordManager::xgChordWithString(std::string_view text, XFChordError* error) const {
  auto fail = [&](const char* description, std::string suggestion) -> std::optional<XFChord> {
    if (error) *error = {description, std::move(suggestion)};
    return std::nullopt;
  };
  if (error) *error = {};
  std::optional<ChordName> chord = parseChordLenient(text);
  if (!chord) return fail("Invalid chord", std::string(text));
  if (!chord->type.empty()) {
    auto found = chordsMap_.find(chord->type);
    if (found == chordsMap_.end()) return fail("Unknow chord type", chord->type);
    chord->type = found->second;
  }
  std::string spelled = spellChord(*chord, 0, true);
  XFChord result(spelled);
  if (!result.isValid()) return fail("Couldn't convert to XG chord", spelled);
  return result;
}

Error XFChordManager::saveDefinitions2File(const std::string& path, PlistFormat format) const {
  ChordAliasDefinitions definitions;
  for (const auto& record : types_) definitions.push_back(record.aliases);
  Error error = writeChordAliasDefinitions(path, definitions, format);
  if (error) error.message = "Couldn't save XF Chords definitions! " + error.message;
  return error;
}

Error XFChordManager::revertToDefaults() {
  OSStatus status = moveFileToTrash(userFile_);
  if (status != noErr && status != fnfErr)
    return {status, userFile_, "The aliases file could not be moved to the trash: " + statusDescription(status)};
  loadDefinitions();
  return {};
}

}  // namespace sw
