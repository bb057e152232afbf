#include "text/encoding_guess.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "../smf/sequence_test_util.h"
#include "midi_builder.h"
#include "text/sequence_info.h"

namespace {

using swtest::MidiFileBuilder;

// UTF-8 text converted with an ICU converter name; the test fails when it does not convert.
std::string inCharset(const std::string& utf8, const char* charset) {
  std::string out(utf8.size() * 4 + 16, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_convert(charset, "UTF-8", out.data(), int32_t(out.size()), utf8.data(),
                                      int32_t(utf8.size()), &status);
  EXPECT_TRUE(U_SUCCESS(status)) << charset;
  out.resize(size_t(std::max(length, 0)));
  return out;
}

// The text cut into syllables of a few characters, whole UTF-8 characters each.
std::vector<std::string> syllables(const std::string& utf8, size_t characters) {
  std::vector<std::string> pieces;
  std::string piece;
  size_t count = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    piece.push_back(utf8[i]);
    const bool ends = i + 1 == utf8.size() || (uint8_t(utf8[i + 1]) & 0xC0) != 0x80;
    if (ends && ++count == characters) {
      pieces.push_back(piece);
      piece.clear();
      count = 0;
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

// A karaoke file whose title and lyric syllables are the text in the charset, the text
// repeated until the lyrics hold at least `minimumBytes`.
std::unique_ptr<sw::MidiSequence> karaokeFile(const std::string& utf8, const char* charset, size_t minimumBytes = 600) {
  MidiFileBuilder file(1, 480);
  file.track().tempo(0, 500000).text(0, 3, inCharset(syllables(utf8, 6)[0], charset)).endOfTrack();
  auto& words = file.track();
  size_t total = 0;
  while (total < minimumBytes) {
    for (const std::string& syllable : syllables(utf8, 3)) {
      const std::string bytes = inCharset(syllable, charset);
      words.text(120, 5, bytes);
      total += bytes.size();
    }
    words.text(0, 5, "\r");
  }
  words.endOfTrack();
  sw::OSStatus status = sw::noErr;
  auto sequence = swtest::load(file.bytes(), sw::kSMFLoadFull, &status);
  EXPECT_EQ(status, sw::noErr);
  return sequence;
}

const std::string kJapanese =
    "春の小川はさらさら行くよ。岸のすみれやれんげの花に、すがたやさしく色うつくしく、咲いているねとささやきながら。"
    "夕焼け小焼けで日が暮れて、山のお寺の鐘がなる。お手々つないでみな帰ろう、からすと一緒に帰りましょう。";
const std::string kSimplifiedChinese =
    "床前明月光，疑是地上霜。举头望明月，低头思故乡。我们的生活越来越好，大家一起唱歌跳舞，今天是一个快乐的日子。"
    "你问我爱你有多深，我爱你有几分，我的情也真，我的爱也真，月亮代表我的心。";
const std::string kTraditionalChinese =
    "我們的生活越來越好，大家一起唱歌跳舞，今天是一個快樂的日子。你問我愛你有多深，我愛你有幾分，"
    "我的情也真，我的愛也真，月亮代表我的心。輕輕的一個吻，已經打動我的心，深深的一段情，教我思念到如今。";
const std::string kKorean =
    "사랑해요 당신을 정말로 사랑해요. 오늘 밤 우리 함께 노래를 불러요. 아리랑 아리랑 아라리요, 아리랑 고개를 넘어간다. "
    "나를 버리고 가시는 님은 십리도 못 가서 발병 난다. 청천 하늘엔 잔별도 많고 우리네 가슴엔 희망도 많다.";
const std::string kRussian =
    "Расцветали яблони и груши, поплыли туманы над рекой. Выходила на берег Катюша, на высокий берег на крутой. "
    "Выходила, песню заводила про степного сизого орла, про того, которого любила, про того, чьи письма берегла.";
const std::string kFrench =
    "Allons enfants de la Patrie, le jour de gloire est arrivé. Contre nous de la tyrannie, l'étendard sanglant est levé. "
    "À la claire fontaine, m'en allant promener, j'ai trouvé l'eau si belle que je m'y suis baigné. Il y a longtemps "
    "que je t'aime, jamais je ne t'oublierai. Sous les ponts de Paris, lorsque descend la nuit, ça chante à l'été.";

const std::string kHebrew =
    "ירושלים של זהב ושל נחושת ושל אור, הלא לכל שירייך אני כינור. אוויר הרים צלול כיין וריח אורנים, נישא ברוח "
    "הערביים עם קול פעמונים. הבה נגילה ונשמחה, הבה נרננה ונשמחה, עורו אחים בלב שמח. שלום חברים, להתראות.";
const std::string kArabic =
    "أنا لحبيبي وحبيبي إلي، يا عصفورة بيضا لا بقى تسألي. زوروني كل سنة مرة، حرام تنسوني بالمرة. سلم لي "
    "عليه وقل له إني بسلم عليه، بوس لي عينيه وقل له إني ببوس عينيه. يا حبيبي تعال الحقني، شوف اللي جرالي.";

TEST(EncodingGuess, MultiByteAndCyrillicTextsAreDetected) {
  struct Case {
    const std::string& text;
    const char* charset;
    sw::StringEncoding expected;
  };
  const Case cases[] = {
      {kJapanese, "Shift_JIS", sw::kShiftJISStringEncoding},
      {kSimplifiedChinese, "GB18030", sw::kGB18030StringEncoding},
      {kTraditionalChinese, "Big5", sw::kBig5StringEncoding},
      {kKorean, "EUC-KR", sw::kEUCKRStringEncoding},
      {kRussian, "windows-1251", sw::kWindowsCP1251StringEncoding},
      // Right-to-left texts, among the detector's EBCDIC recognisers for the same languages.
      {kHebrew, "ISO-8859-8", sw::encodingFromName("ISO-8859-8")},
      {kArabic, "windows-1256", sw::kWindowsCP1256StringEncoding},
  };
  for (const Case& c : cases) {
    auto sequence = karaokeFile(c.text, c.charset);
    EXPECT_EQ(sw::guessEncoding(*sequence), c.expected) << c.charset;
    EXPECT_EQ(sw::guessEncoding(*sequence, sw::kUTF8StringEncoding), c.expected) << c.charset;
    const sw::EncodingDetection detection = sw::detectEncoding(inCharset(c.text, c.charset));
    EXPECT_FALSE(detection.lossy) << c.charset;
    EXPECT_EQ(sw::getInfo(*sequence).UTF8, 0);
  }
}


TEST(EncodingGuess, UTF8AndLatin1) {
  EXPECT_EQ(sw::guessEncoding(*karaokeFile(kJapanese, "UTF-8")), sw::kUTF8StringEncoding);
  EXPECT_EQ(sw::guessEncoding(*karaokeFile("plain ascii words to sing along ", "UTF-8")), sw::kUTF8StringEncoding);

  // Latin-1 text the default encoding can show is left to the default.
  auto latin = karaokeFile(kFrench, "ISO-8859-1");
  const sw::StringEncoding guess = sw::guessEncoding(*latin, sw::kISOLatin1StringEncoding);
  EXPECT_EQ(guess, sw::kNoEncoding);
  EXPECT_EQ(sw::encodingForGuess(guess, sw::kISOLatin1StringEncoding), sw::kISOLatin1StringEncoding);
  EXPECT_EQ(sw::encodingForGuess(guess, sw::kUTF8StringEncoding), sw::kISOLatin1StringEncoding);
  // With a Cyrillic default the accents cannot be shown, so the detected Western encoding wins.
  const sw::StringEncoding western = sw::guessEncoding(*latin, sw::kWindowsCP1251StringEncoding);
  EXPECT_TRUE(western == sw::kISOLatin1StringEncoding || western == sw::kWindowsCP1252StringEncoding) << western;
}

TEST(EncodingGuess, ShortSamplesAreNotTrusted) {
  // 100 bytes or fewer that are not UTF-8: no guess.
  auto tiny = karaokeFile("Ça été", "ISO-8859-1", 10);
  EXPECT_EQ(sw::guessEncoding(*tiny, sw::kWindowsCP1251StringEncoding), sw::kNoEncoding);
  // Between 101 and 499 bytes: detected, still not trusted.
  auto shortRussian = karaokeFile(kRussian.substr(0, 200), "windows-1251", 150);
  EXPECT_EQ(sw::guessEncoding(*shortRussian), sw::kNoEncoding);
  EXPECT_EQ(sw::encodingForGuess(sw::kNoEncoding, sw::kMacOSRomanStringEncoding), sw::kMacOSRomanStringEncoding);
}

TEST(EncodingGuess, MetaTextsAreTheSampleWithoutLyrics) {
  MidiFileBuilder file(0, 480);
  auto& t = file.track();
  const std::string russian = inCharset(kRussian, "windows-1251");
  for (int i = 0; i < 4; ++i) t.text(0, 1 + i, russian);
  t.meta(0, 0x0A, {0xFF, 0xFE});  // type 10 is not gathered
  t.endOfTrack();
  sw::OSStatus status;
  auto sequence = swtest::load(file.bytes(), sw::kSMFLoadFull, &status);
  const std::string buffer = sw::metaTextBuffer(sequence->events());
  EXPECT_EQ(buffer.size(), 4 * (russian.size() + 1));
  EXPECT_EQ(buffer.back(), '\n');
  EXPECT_EQ(sw::guessEncoding(*sequence), sw::kWindowsCP1251StringEncoding);
}

TEST(EncodingGuess, LossyDetectionIsRefused) {
  // Shift-JIS lyrics with lead bytes left without their trail byte.
  std::string sjis = inCharset(kJapanese + kJapanese, "Shift_JIS");
  std::string broken;
  for (size_t i = 0; i < sjis.size(); ++i) {
    broken.push_back(sjis[i]);
    if (i % 40 == 39 && uint8_t(sjis[i]) >= 0x81) broken.push_back('\x81');
  }
  broken += "\x81";
  const sw::EncodingDetection detection = sw::detectEncoding(broken);
  if (detection.encoding != sw::kNoEncoding) {
    EXPECT_TRUE(detection.lossy) << detection.charset;
    EXPECT_FALSE(detection.text.empty());
  }
  MidiFileBuilder file(0, 480);
  file.track().text(10, 5, broken).endOfTrack();
  sw::OSStatus status;
  auto sequence = swtest::load(file.bytes(), sw::kSMFLoadFull, &status);
  const sw::StringEncoding guess = sw::guessEncoding(*sequence);
  EXPECT_NE(guess, sw::kShiftJISStringEncoding);
  EXPECT_NE(guess, sw::kUTF8StringEncoding);
}

TEST(EncodingGuess, BadInputNeverFails) {
  EXPECT_EQ(sw::detectEncoding("").encoding, sw::kNoEncoding);
  {
    MidiFileBuilder empty(0, 480);
    empty.track().endOfTrack();
    sw::OSStatus status;
    EXPECT_EQ(sw::guessEncoding(*swtest::load(empty.bytes(), sw::kSMFLoadFull, &status)),
              sw::kUTF8StringEncoding);  // nothing is valid UTF-8
  }
  std::mt19937 rng(7);
  for (size_t size : {101u, 700u, 5000u, 2000000u}) {
    std::string noise(size, '\0');
    for (char& c : noise) c = char(rng());
    const sw::EncodingDetection detection = sw::detectEncoding(noise);
    if (!detection.lossy) {
      EXPECT_NE(detection.encoding, sw::kNoEncoding);
    }
    MidiFileBuilder file(0, 480);
    file.track().text(10, 5, noise).endOfTrack();
    sw::OSStatus status;
    auto sequence = swtest::load(file.bytes(), sw::kSMFLoadFull, &status);
    const sw::StringEncoding guess = sw::guessEncoding(*sequence);
    if (guess != sw::kNoEncoding) {
      EXPECT_TRUE(sw::isSupportedEncoding(guess));
    }
  }
  EXPECT_TRUE(sw::canRepresent(u"abc", sw::kISOLatin1StringEncoding));
  EXPECT_FALSE(sw::canRepresent(u"\u0416", sw::kISOLatin1StringEncoding));
  EXPECT_FALSE(sw::canRepresent(std::u16string(1, char16_t(0xD800)), sw::kWindowsCP1251StringEncoding));
  EXPECT_TRUE(sw::canRepresent(std::u16string(10000, u'\u0416'), sw::kWindowsCP1251StringEncoding));
}

}  // namespace
