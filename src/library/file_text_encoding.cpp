#include "library/file_text_encoding.h"

#include "base/plist_attribute.h"
#include "library/midi_file_item.h"
#include "text/encoding_guess.h"
#include "text/encoding_manager.h"
#include "text/lyrics_extractor.h"

namespace sw {

namespace {

// Texts too short for the guess's sample still count when the detector decodes them without
// loss, is sure enough, and reads something the default encoding cannot hold; this keeps
// short Japanese names readable.
constexpr int32_t kShortTextConfidence = 50;

// Read without storing the factory value: reading a file's texts writes no settings.
StringEncoding defaultEncoding() { return EncodingManager::sharedInstance().storedDefaultEncoding(); }

}  // namespace

EncodingGuess guessFileEncoding(const MidiSequence& sequence) {
  // One guess from all of the file's texts together (names, lyrics, markers...).
  const std::string sample = sequenceTextSample(sequence);
  const SequenceEncodingGuess whole = guessSampleEncoding(sample);
  if (whole.confident && whole.encoding != kNoEncoding) return {whole.encoding, true};
  // Long samples were judged by the guess already.
  if (sample.size() > 499) return {};
  const EncodingDetection detection = detectEncoding(sample);
  if (detection.encoding == kNoEncoding || detection.lossy || detection.confidence < kShortTextConfidence) return {};
  // As for long samples: only an answer the default encoding could not give counts.
  if (canRepresent(detection.text, encodingForGuess(kNoEncoding, defaultEncoding()))) return {};
  return {detection.encoding, true};
}

const char* encodingSourceName(EncodingSource source) {
  switch (source) {
    case EncodingSource::Given: return "option";
    case EncodingSource::Saved: return "attribute";
    case EncodingSource::Guess: return "guess";
    case EncodingSource::Default: return "default";
  }
  return "default";
}

FileTextEncoding resolveTextEncoding(std::optional<StringEncoding> given, std::optional<StringEncoding> saved,
                                     const std::function<EncodingGuess()>& guess) {
  if (given && isSupportedEncoding(*given)) return {*given, EncodingSource::Given};
  if (saved && isSupportedEncoding(*saved)) return {*saved, EncodingSource::Saved};
  if (guess) {
    const EncodingGuess answer = guess();
    if (answer.confident && isSupportedEncoding(answer.encoding)) return {answer.encoding, EncodingSource::Guess};
  }
  return {encodingForGuess(kNoEncoding, defaultEncoding()), EncodingSource::Default};
}

std::optional<StringEncoding> givenBatchEncoding(const SettingsStore& store) {
  const int64_t selected = store.integerForKey("selectedEncoding");
  if (selected > 0 && selected <= int64_t(UINT32_MAX) && isSupportedEncoding(StringEncoding(selected)))
    return StringEncoding(selected);
  return std::nullopt;
}

std::optional<StringEncoding> readSavedEncoding(const std::string& path) {
  const std::optional<int64_t> saved = readNumberAttribute(path, MidiFileItem::kEncodingAttribute);
  if (saved && *saved >= 0 && *saved <= int64_t(UINT32_MAX) && isSupportedEncoding(StringEncoding(*saved)))
    return StringEncoding(*saved);
  return std::nullopt;
}

FileTextEncoding resolveFileTextEncoding(const std::string& path, const MidiSequence& sequence,
                                         std::optional<StringEncoding> given) {
  return resolveTextEncoding(given, given ? std::nullopt : readSavedEncoding(path),
                             [&] { return guessFileEncoding(sequence); });
}

}  // namespace sw
