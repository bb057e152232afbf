// Writing a file item back: the sequence over its file, text side files beside it, and the
// name extension that matches the content.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <span>

#include "base/atomic_file.h"
#include "base/xattr.h"
#include "library/midi_file_item.h"
#include "smf/midi_sequence.h"
#include "text/lyrics_extractor.h"

namespace sw {

namespace {

std::string lowerCased(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

// Where the extension of the last component starts (after its dot), or npos. A leading dot
// names a hidden file and starts no extension.
size_t extensionStart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot <= nameStart) return std::string::npos;
  return dot + 1;
}

std::string lastComponent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Moves a file without ever replacing one at the destination.
int moveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: a hard link fails on an existing name as wanted.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  if (::unlink(from.c_str()) != 0) {
    const int error = errno;
    ::unlink(to.c_str());
    return error;
  }
  return 0;
}

}  // namespace

Error MidiFileItem::error(OSStatus status, std::string message) const {
  if (message.empty()) message = statusDescription(status);
  return Error{status, fullPath(), std::move(message)};
}

Error MidiFileItem::writeFailure(OSStatus status) const {
  if (writesElsewhere())
    return error(status, "its result could not be written to " + writePath() + ": " + statusDescription(status) +
                             " (the file itself is only read)");
  switch (status) {
    case permErr: return error(status, "may not be written (permission denied): the file is left as it was");
    case kFileChangedErr:
      return error(status, "was changed by another program meanwhile: left as that program made it");
    case fnfErr: return error(status, "was deleted meanwhile: not written again");
    default: return error(status, "could not be written: " + statusDescription(status) + "; the file is left as it was");
  }
}

void MidiFileItem::releaseEventList() {
  settleInfo();
  settleGuess();
  eventList_.reset();
  readIdentity_.reset();
  fileBytes_ = {};
}

std::string MidiFileItem::pathWithExtension(const std::string& path, const std::string& extension) {
  const size_t start = extensionStart(path);
  if (start == std::string::npos) return path + "." + extension;
  return path.substr(0, start) + extension;
}

std::string MidiFileItem::correctedPath(const std::string& path, bool karaoke) {
  const std::string wanted = karaoke ? "kar" : "mid";
  const size_t start = extensionStart(path);
  const size_t length = start == std::string::npos ? 0 : path.size() - start;
  if (length < 3) return path + "." + wanted;
  return path.substr(0, start) + wanted;
}

void MidiFileItem::setWriteTarget(std::string path) {
  writeTarget_ = std::move(path);
  targetBytes_.reset();
}

OSStatus MidiFileItem::makeWriteFolder() const {
  const std::string target = writePath();
  const size_t slash = target.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return noErr;
  std::error_code failure;
  std::filesystem::create_directories(target.substr(0, slash), failure);
  return failure ? statusFromErrno(failure.value()) : OSStatus(noErr);
}

namespace {

// A new copy of a file gets the file's permissions and extended attributes (its type, its
// encoding), as a rewrite in place keeps them.
void adoptAttributes(const std::string& from, const std::string& to) {
  const int source = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (source < 0) return;
  const int target = ::open(to.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  if (target >= 0) {
    if (::fstat(source, &info) == 0) ::fchmod(target, info.st_mode & 0777);
    xattr::copyAll(source, target);
    ::close(target);
  }
  ::close(source);
}

// Writes a new copy elsewhere: the folders it needs, the bytes, then the original's attributes.
OSStatus writeCopy(const MidiFileItem& item, const std::vector<uint8_t>& bytes) {
  if (const OSStatus status = item.makeWriteFolder(); status != noErr) return status;
  const std::string target = item.writePath();
  struct stat existing {};
  const bool existed = ::stat(target.c_str(), &existing) == 0;
  const OSStatus status = writeFileAtomically(target, std::span(bytes.data(), bytes.size()));
  if (status == noErr && !existed) adoptAttributes(item.fullPath(), target);
  return status;
}

}  // namespace

OSStatus MidiFileItem::copyToWriteTarget(const BatchRun& run) {
  if (!writesElsewhere() || targetBytes_ || run.dryRun) return noErr;
  std::vector<uint8_t> bytes;
  if (readIdentity_ && !fileBytes_.empty() && FileIdentity::of(fullPath()) == readIdentity_) {
    bytes = fileBytes_;
  } else {
    std::string contents;
    if (const OSStatus status = readWholeFile(fullPath(), contents); status != noErr) return status;
    bytes.assign(contents.begin(), contents.end());
  }
  if (const OSStatus refusal = checkReplaceable(writePath()); refusal != noErr) return refusal;
  if (const OSStatus status = writeCopy(*this, bytes); status != noErr) return status;
  targetBytes_ = std::move(bytes);
  run.tellWritten(writePath());
  return noErr;
}

OSStatus MidiFileItem::writeToFileByCompressing(bool compress, const BatchRun& run) {
  if (!eventList_) return noErr;
  return writeSequence(*eventList_, compress, run);
}

bool MidiFileItem::sameAsFile(const std::vector<uint8_t>& bytes) const {
  // The bytes kept from the read still are the file's while it has the identity it had then.
  if (readIdentity_ && !fileBytes_.empty() && FileIdentity::of(fullPath()) == readIdentity_) return bytes == fileBytes_;
  std::string current;
  return readWholeFile(fullPath(), current) == noErr && current.size() == bytes.size() &&
         std::equal(bytes.begin(), bytes.end(), reinterpret_cast<const uint8_t*>(current.data()));
}

OSStatus MidiFileItem::writeSequence(MidiSequence& sequence, bool compress, const BatchRun& run) {
  std::vector<uint8_t> bytes = sequence.dataRepresentation(compress);
  // Written elsewhere already in this run: compared with what was written there.
  if (targetBytes_ ? bytes == *targetBytes_ : sameAsFile(bytes)) {
    run.tellUnchanged();
    return noErr;
  }
  if (const OSStatus refusal = checkReplaceable(writePath()); refusal != noErr) return refusal;
  if (run.dryRun) {
    run.tell(compress ? "would be written with running status" : "would be written");
    return noErr;
  }
  if (writesElsewhere()) {
    const OSStatus status = writeCopy(*this, bytes);
    if (status == noErr) {
      sequence.clearDamage();
      targetBytes_ = std::move(bytes);
      run.tellWritten(writePath());
    }
    updateInfo();
    return status;
  }
  const OSStatus status = MidiSequence::writeDataToFile(fullPath(), bytes, readIdentity_ ? &*readIdentity_ : nullptr);
  if (status == noErr) {
    sequence.clearDamage();  // the file now holds what was salvaged
    fileBytes_ = std::move(bytes);
    run.tellWritten(fullPath());
  }
  // Another program's version of the file stays: the cached sequence no longer describes it.
  if (status == kFileChangedErr || status == fnfErr) releaseEventList();
  updateInfo();
  return status;
}

Error MidiFileItem::writeToFile(const std::string& text, const std::string& extension, const BatchRun& run) {
  const std::string target = pathWithExtension(writePath(), extension);
  if (run.dryRun) {
    run.tell("would write " + lastComponent(target));
    return {};
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  OSStatus status = makeWriteFolder();
  if (status == noErr) status = writeFileAtomically(target, std::span(bytes, text.size()));
  if (status != noErr) return Error{status, target, "could not be written: " + statusDescription(status)};
  run.tellWritten(target);
  return {};
}

Error MidiFileItem::fixExtension(const BatchRun& run) { return fixExtensionFor(info(), run); }

Error MidiFileItem::fixExtensionFor(const SequenceInfo& content, const BatchRun& run) {
  const bool karaoke = content.numTracks >= 2 && content.karaokeType == kSoftKaraokeType;
  const std::string from = writePath();
  const std::string to = correctedPath(from, karaoke);
  if (lowerCased(to) == lowerCased(from)) return {};  // SONG.MID keeps its name
  const std::string newName = lastComponent(to);
  if (writesElsewhere()) {
    // The copy takes the corrected name; a result of an earlier run there is replaced, not the
    // result of another file: the name must be free beside the original, as a rename in place
    // needs it, and not taken by another result of this run.
    const std::string original = fullPath();
    const size_t slash = original.find_last_of('/');
    const std::string besideOriginal = slash == std::string::npos ? newName : original.substr(0, slash + 1) + newName;
    struct stat existing {};
    if (::lstat(besideOriginal.c_str(), &existing) == 0 || !run.claimPath(to))
      return Error{dupFNErr, from, "cannot be written as " + newName + ": the name is taken by another file"};
    if (run.dryRun) {
      run.tell("would be written as " + newName);
      return {};
    }
    OSStatus status = copyToWriteTarget(run);
    if (status == noErr && ::rename(from.c_str(), to.c_str()) != 0) status = statusFromErrno(errno);
    if (status != noErr)
      return Error{status, from, "cannot be written as " + newName + ": " + statusDescription(status)};
    writeTarget_ = to;
    run.tellWritten(to, from);
    run.tell("written as " + newName);
    return {};
  }
  if (run.dryRun) {
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) return error(dupFNErr, "cannot be renamed: " + newName + " exists");
    const size_t slash = from.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : from.substr(0, slash == 0 ? 1 : slash);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
      const OSStatus status = statusFromErrno(errno);
      return error(status, "cannot be renamed to " + newName + ": " + statusDescription(status));
    }
    run.tell("would be renamed to " + newName);
    return {};
  }
  if (const int failure = moveWithoutReplacing(from, to); failure != 0) {
    const OSStatus status = failure == EEXIST ? OSStatus(dupFNErr) : statusFromErrno(failure);
    return error(status, failure == EEXIST ? "cannot be renamed: " + newName + " exists"
                                           : "cannot be renamed to " + newName + ": " + statusDescription(status));
  }
  const std::string& relative = relativePath();
  const size_t slash = relative.find_last_of('/');
  setRelativePath(slash == std::string::npos ? newName : relative.substr(0, slash + 1) + newName);
  run.tellWritten(to, from);
  run.tell("renamed to " + newName);
  return {};
}

}  // namespace sw
