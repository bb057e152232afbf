#include "library/midi_file_item.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstdio>

#include "base/finder_info.h"
#include "base/log.h"
#include "base/plist_attribute.h"
#include "library/library_strings.h"
#include "smf/midi_sequence.h"
#include "smf/smf_image.h"
#include "text/encoding_manager.h"
#include "text/text_conversion.h"

namespace sw {

MidiFileItem::MidiFileItem(std::string path, FileSystemItem* parent) : FileSystemItem(std::move(path), parent) {
  doDiscardChanges();
  readSavedEncoding();
}

MidiFileItem::~MidiFileItem() = default;

std::unique_ptr<FileSystemItem> MidiFileItem::makeChild(const std::string& name) {
  return std::make_unique<MidiFileItem>(name, this);
}

bool MidiFileItem::isDisplayable(OSStatus* status) {
  if (status) *status = noErr;
  if (isInvisible()) return false;
  if (isDirectory()) return true;
  // Symbolic links stand where the other platform has aliases: they are not listed.
  struct stat info {};
  if (::lstat(fullPath().c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return false;
  const FinderInfo codes = FinderInfo::read(fullPath());
  fdType_ = codes.type;
  fdCreator_ = codes.creator;
  const OSStatus result = updateInfo();
  if (status) *status = result;
  return result == noErr;
}

bool MidiFileItem::isDisplayableLoadingAll(OSStatus* status) {
  struct stat info {};
  if (!isInvisible() && isFile() && ::lstat(fullPath().c_str(), &info) == 0 && S_ISREG(info.st_mode)) eventList();
  return isDisplayable(status);  // from the loaded sequence; a file that did not load is scanned
}

OSStatus MidiFileItem::updateInfo() {
  if (eventList_) {
    // The cached sequence is what the file holds (or will hold once saved): the file is not
    // read again, only checked to be there, so a batch reads each file once.
    struct stat info {};
    if (::stat(fullPath().c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR ? fnfErr : ioErr;
    infoPending_ = guessPending_ = true;
    if (!infoOnDemand_) {
      settleInfo();  // shows the cached sequence's unsaved changes
      settleGuess();
    }
    scanStatus_ = noErr;
    SMPTEFormat_ = eventList_->SMPTEFormat();
    damage_ = eventList_->damage();
  } else {
    SMFImage image;
    const OSStatus status = readSMFFile(fullPath(), image);
    if (status != noErr) return status;
    OSStatus buildStatus = noErr;
    MidiSequence scan(image, kSMFLoadInfoScan, &buildStatus);
    getInfo(scan, info_);
    guess_ = guessFileEncoding(scan);
    infoPending_ = guessPending_ = false;
    scanStatus_ = buildStatus;
    SMPTEFormat_ = scan.SMPTEFormat();
    damage_ = scan.damage();
  }
  for (Error& fault : damage_) fault.path = fullPath();
  refreshFileSize();
  return noErr;
}

void MidiFileItem::settleInfo() const {
  if (infoPending_ && eventList_) getInfo(*eventList_, info_);
  infoPending_ = false;
}

void MidiFileItem::settleGuess() const {
  if (guessPending_ && eventList_) guess_ = guessFileEncoding(*eventList_);
  guessPending_ = false;
}

OSStatus MidiFileItem::reload() {
  releaseEventList();
  const OSStatus status = updateInfo();
  if (status != noErr) return status;
  readSavedEncoding();
  doDiscardChanges();
  return noErr;
}

// ---- Column values

std::optional<std::string> MidiFileItem::type() const {
  if (!isFile()) return std::nullopt;
  return fourCCString(fdType_);
}

std::optional<std::string> MidiFileItem::creator() const {
  if (!isFile()) return std::nullopt;
  return fourCCString(fdCreator_);
}

std::optional<int> MidiFileItem::format() const {
  if (!isFile()) return std::nullopt;
  return info().numTracks < 2 ? 0 : 1;
}

std::optional<int> MidiFileItem::tracks() const {
  if (!isFile()) return std::nullopt;
  return info().numTracks;
}

std::optional<int> MidiFileItem::division() const {
  if (!isFile()) return std::nullopt;
  return info().division;
}

std::optional<std::string> MidiFileItem::resetSysEx() const {
  if (!isFile()) return std::nullopt;
  return std::string(pascalBytes(info().sysex));
}

std::optional<std::string> MidiFileItem::karType() const {
  if (!isFile()) return std::nullopt;
  return fourCCString(info().karaokeType);
}

std::string MidiFileItem::hasChords() const { return isFile() && info().hasChords ? "YES" : ""; }

std::optional<std::string> MidiFileItem::decoded(const PascalString& text) const {
  if (!isFile()) return std::nullopt;
  std::string utf8;
  convertToUTF8(pascalBytes(text), encoding(), utf8, ConversionMode::Lossy);
  return utf8;
}

std::optional<std::string> MidiFileItem::sequenceName() const { return decoded(info().seqName); }
std::optional<std::string> MidiFileItem::title() const { return decoded(info().title); }
std::optional<std::string> MidiFileItem::author() const { return decoded(info().author); }
std::optional<std::string> MidiFileItem::copyright() const { return decoded(info().copyright); }

std::optional<int> MidiFileItem::tempo() const {
  if (!isFile()) return std::nullopt;
  return info().bpm;
}

uint32_t MidiFileItem::durationMSecs() const { return isFile() ? info().duration : 0; }

std::optional<std::string> MidiFileItem::duration() const {
  if (!isFile()) return std::nullopt;
  const auto seconds = uint32_t(float(info().duration) / 1000.0f);
  char text[32];
  std::snprintf(text, sizeof text, "%.1u:%.2u", seconds / 60, seconds % 60);
  return std::string(text);
}

std::string MidiFileItem::bugExplanation() const {
  if (!isFile()) return "";
  std::string text;
  std::string extension;
  const std::string shown = name();
  if (const size_t dot = shown.rfind('.'); dot != std::string::npos) extension = shown.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  // Files on this system rarely carry a type: only a type other than 'Midi' counts.
  const bool badType = fdType_ != 0 && fdType_ != fourCC("Midi");
  if (badType || (extension != "mid" && extension != "kar")) text += libraryString("BAD_FINDER_TYPE");
  if (info().badTempoSignatureTrack) text += libraryString("BAD_TEMPO_SIGNATURE");
  if (pascalBytes(info().sysex).empty()) text += libraryString("MISSING_RESET_MESSAGE");
  if (!damage_.empty()) {
    text += libraryString("DAMAGED");
    for (const Error& fault : damage_) text += fault.where() + fault.message + "\n";
  }
  return text;
}

Error MidiFileItem::refusalToRewriteDamaged(const BatchRun& run) const {
  const std::vector<Error>& faults = eventList_ ? eventList_->damage() : damage_;
  if (faults.empty() || run.force) return {};
  Error refusal = faults.front();
  refusal.path = fullPath();
  if (faults.size() > 1) refusal.message += " (and " + std::to_string(faults.size() - 1) + " more)";
  refusal.message +=
      "; the file is damaged and was not rewritten (Fix, or a forced run, rewrites it from what could be read)";
  return refusal;
}

// ---- Sequence cache

MidiSequence* MidiFileItem::eventList() {
  if (!eventList_) {
    OSStatus status = noErr;
    // Taken before the read: a change that lands during the read then shows at the write.
    std::optional<FileIdentity> identity = FileIdentity::of(fullPath());
    std::vector<uint8_t> bytes;
    auto sequence = std::make_unique<MidiSequence>(fullPath(), kSMFLoadFull, &status, &bytes);
    // A file damaged part way keeps what was read; one that does not read at all gives null.
    if (status == noErr || sequence->count() > 0) {
      eventList_ = std::move(sequence);
      readIdentity_ = identity;
      fileBytes_ = std::move(bytes);
    }
  }
  return eventList_.get();
}

// ---- Encoding

FileTextEncoding MidiFileItem::textEncoding(std::optional<StringEncoding> given) const {
  return resolveTextEncoding(given, encoding_, [this] { return encodingGuess(); });
}

FileTextEncoding MidiFileItem::batchTextEncoding(const MidiSequence& sequence) const {
  return resolveTextEncoding(givenBatchEncoding(), encoding_, [&] { return guessFileEncoding(sequence); });
}

void MidiFileItem::readSavedEncoding() {
  if (!isFile()) {
    encoding_.reset();
    return;
  }
  encoding_ = sw::readSavedEncoding(fullPath());
}

// ---- Edits

void MidiFileItem::setEdit(std::string& field, std::string text) {
  field = std::move(text);
  isDirty_ = true;
}

std::optional<std::string> MidiFileItem::editedString(const std::string& edit, OSStatus* status) const {
  if (status) *status = noErr;
  if (edit == kUnedited) return std::nullopt;
  std::string bytes;
  const OSStatus result = convertFromUTF8(edit, encoding(), bytes, ConversionMode::Strict);
  if (result != noErr) {
    if (status) *status = result;
    return std::nullopt;
  }
  return bytes;
}

OSStatus MidiFileItem::doCommitChanges() {
  if (!isDirty_) {
    doDiscardChanges();
    return noErr;
  }
  OSStatus status = noErr;
  const auto name = editedString(editedSequenceName_, &status);
  if (status != noErr) return status;
  const auto title = editedString(editedTitle_, &status);
  if (status != noErr) return status;
  const auto author = editedString(editedAuthor_, &status);
  if (status != noErr) return status;
  const auto copyright = editedString(editedCopyright_, &status);
  if (status != noErr) return status;
  MidiSequence* sequence = eventList();
  if (!sequence) {
    SMFImage image;
    status = readSMFFile(fullPath(), image);
    return status != noErr ? status : OSStatus(ioErr);
  }
  auto view = [](const std::optional<std::string>& s) -> std::optional<std::string_view> {
    if (!s) return std::nullopt;
    return std::string_view(*s);
  };
  // Writing a damaged file would lose for good what could not be read: Fix does that on purpose.
  if (sequence->isDamaged()) return sequence->damage().front().status;
  setSeqName(*sequence, view(name), view(title), view(author), view(copyright));
  fileBytes_ = {};  // the file is about to hold other bytes
  status = sequence->writeToFile(fullPath(), false, readIdentity_ ? &*readIdentity_ : nullptr);
  if (status != noErr) {
    eventList_.reset();  // the cached sequence holds edits the file does not: read it again
    readIdentity_.reset();
    return status;
  }
  doDiscardChanges();
  updateInfo();
  return noErr;
}

void MidiFileItem::doDiscardChanges() {
  editedSequenceName_ = editedTitle_ = editedAuthor_ = editedCopyright_ = kUnedited;
  isDirty_ = false;
}

}  // namespace sw
