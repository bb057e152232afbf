#include "library/file_information.h"

#include "base/finder_info.h"
#include "library/library_strings.h"
#include "library/midi_file_item.h"
#include "text/text_conversion.h"

namespace sw {

namespace {

constexpr DiagnosisDefect kDefects[] = {
    {"BAD_FINDER_TYPE", 'T'}, {"BAD_TEMPO_SIGNATURE", 'S'}, {"MISSING_RESET_MESSAGE", 'R'}, {"DAMAGED", 'D'}};

std::string decode(const PascalString& text, StringEncoding encoding) {
  std::string utf8;
  convertToUTF8(pascalBytes(text), encoding, utf8, ConversionMode::Lossy);
  return utf8;
}

std::string withoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::span<const DiagnosisDefect> diagnosisDefects() { return kDefects; }

FileInformation fileInformation(const std::string& path, std::optional<StringEncoding> given) {
  FileInformation out;
  out.path = path;
  MidiFileItem item(path, nullptr);
  const FinderInfo codes = FinderInfo::read(path);
  item.setFinderCodes(codes.type, codes.creator);
  out.status = item.updateInfo();
  if (out.status != noErr) return out;
  out.readable = true;
  out.scanStatus = item.scanStatus();

  const SequenceInfo& info = item.info();
  out.record = info;
  out.format = item.format().value_or(0);
  out.tracks = info.numTracks;
  out.division = info.division;
  out.SMPTEFormat = item.SMPTEFormat();
  out.durationMSecs = item.durationMSecs();
  out.duration = item.duration().value_or("");
  out.tempo = info.bpm;
  out.karaokeType = info.karaokeType ? withoutTrailingBlanks(item.karType().value_or("")) : "";
  const std::string resets = item.resetSysEx().value_or("");
  for (size_t at = 0; at + 2 <= resets.size(); at += 3) out.resets.push_back(resets.substr(at, 2));
  out.hasChords = info.hasChords;
  out.utf8 = info.UTF8;

  out.encoding = item.textEncoding(given);
  out.sequenceName = decode(info.seqName, out.encoding.encoding);
  out.title = decode(info.title, out.encoding.encoding);
  out.author = decode(info.author, out.encoding.encoding);
  out.copyright = decode(info.copyright, out.encoding.encoding);
  out.genre = decode(info.genre, out.encoding.encoding);
  out.composer = decode(info.composer, out.encoding.encoding);
  out.type = item.type().value_or("");
  out.creator = item.creator().value_or("");

  out.bugExplanation = item.bugExplanation();
  out.damage = item.damage();
  for (const DiagnosisDefect& defect : kDefects) {
    const std::string text = libraryString(defect.key);
    if (!text.empty() && out.bugExplanation.find(text) != std::string::npos) out.defects.push_back(&defect);
  }
  return out;
}

}  // namespace sw
