#include "transport/karaoke_view.h"

#include <QPainter>

#include <algorithm>
#include <mutex>

#include "base/four_char_code.h"
#include "text/lyrics_extractor.h"
#include "text/sync_item.h"

namespace swapp {

namespace {

QString dialectTitle(sw::FourCharCode type) {
  switch (type) {
    case sw::kSoftKaraokeType: return QObject::tr("Soft Karaoke");
    case sw::kLineMarkKaraokeType: return QObject::tr("Lyrics with line marks");
    case sw::kLyricKaraokeType: return QObject::tr("Lyric events");
    case sw::kMidisoftKaraokeType: return QObject::tr("Midisoft");
    default: return {};
  }
}

}  // namespace

KaraokeView::KaraokeView(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, QColor(18, 22, 40));
  colours.setColor(QPalette::WindowText, QColor(235, 235, 240));
  setPalette(colours);
  setMinimumHeight(200);
}

void KaraokeView::setSequence(const sw::MidiSequence& sequence, sw::StringEncoding encoding) {
  sw::DSyncArray lyrics;
  sw::DSyncArray chords;
  sw::FourCharCode type = 0;
  std::shared_ptr<sw::SMFSignatureMap> map;
  {
    std::lock_guard guard(sequence.lock());
    sw::getLyricsDSyncs(sequence, &lyrics, &chords, &type);
    map = sw::SMFSignatureMap::fromSequence(sequence);
  }
  dialect_ = dialectTitle(type);
  const sw::StringEncoding used = sw::is8BitEncoding(encoding) ? encoding : sw::kUTF8StringEncoding;
  synced_ = sw::SyncedText(std::move(lyrics), used, map);
  text_ = QString::fromStdString(synced_.encodedString());
  lines_.clear();
  int start = 0;
  for (const QString& part : text_.split(QLatin1Char('\n'))) {
    lines_.push_back({part, start, {}});
    start += int(part.size()) + 1;
  }
  while (!lines_.isEmpty() && lines_.back().text.trimmed().isEmpty()) lines_.pop_back();
  // Each chord goes over the syllable sung at its time (the first one when it comes earlier).
  for (const sw::DSyncItem& item : chords) {
    if (lines_.isEmpty()) break;
    const sw::TSyncItem chord(item, used);
    int32_t index = synced_.syncIndexAtDelay(chord.delay());
    if (index < 0) index = 0;
    if (uint32_t(index) >= synced_.numberOfSyncs()) continue;
    const int at = int(synced_.rangeAtSyncIndex(uint32_t(index), false).location);
    int line = 0;
    while (line + 1 < lines_.size() && lines_[line + 1].start <= at) ++line;
    lines_[line].chords.push_back({QString::fromStdString(chord.text()), chord.delay(), line, at - lines_[line].start});
  }
  locate();
  update();
}

void KaraokeView::setTicks(int64_t ticks) {
  if (ticks == ticks_) return;
  ticks_ = ticks;
  const int line = currentLine_;
  const int start = highlightStart_;
  const int end = highlightEnd_;
  locate();
  if (line != currentLine_ || start != highlightStart_ || end != highlightEnd_) update();
}

void KaraokeView::locate() {
  currentLine_ = -1;
  highlightStart_ = highlightEnd_ = 0;
  if (lines_.isEmpty() || ticks_ < 0) return;
  const int32_t index = synced_.syncIndexAtDelay(int32_t(std::min<int64_t>(ticks_, INT32_MAX)));
  if (index < 0) return;
  const sw::SyncRange range = synced_.rangeAtSyncIndex(uint32_t(index), true);
  highlightStart_ = int(range.location);
  highlightEnd_ = int(std::min<uint64_t>(range.end(), uint64_t(text_.size())));
  // The "\n" of a syllable that ends its line is not shown.
  while (highlightEnd_ > highlightStart_ && text_[highlightEnd_ - 1] == QLatin1Char('\n')) --highlightEnd_;
  currentLine_ = 0;
  while (currentLine_ + 1 < lines_.size() && lines_[currentLine_ + 1].start <= highlightStart_) ++currentLine_;
}

QString KaraokeView::highlightedText() const { return text_.mid(highlightStart_, highlightEnd_ - highlightStart_); }

void KaraokeView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::TextAntialiasing);
  if (lines_.isEmpty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, tr("This file has no lyrics."));
    return;
  }
  QFont big = font();
  big.setPixelSize(std::max(18, height() / 9));
  big.setBold(true);
  QFont small = font();
  small.setPixelSize(std::max(12, big.pixelSize() / 2));
  const QFontMetrics bigMetrics(big);
  const QFontMetrics chordMetrics(small);
  const int lineHeight = bigMetrics.height() + chordMetrics.height() + 8;
  const int shown = std::max(1, height() / lineHeight);
  // The line being sung sits in the upper third; before the first syllable the song's start.
  const int focus = std::max(0, currentLine_);
  const int first = std::max(0, focus - shown / 3);
  // A song that fits the view is centred vertically.
  const int rows = std::min(shown, int(lines_.size()) - first);
  const int top = int(lines_.size()) <= shown ? (height() - rows * lineHeight) / 2 : 0;
  const QColor sung(255, 210, 60);
  const QColor waiting = palette().color(QPalette::WindowText);
  const QColor past(140, 145, 170);
  const QColor chordColour(120, 200, 255);
  for (int row = 0; row < shown && first + row < lines_.size(); ++row) {
    const Line& line = lines_[first + row];
    const int baseline = top + row * lineHeight + chordMetrics.height() + bigMetrics.ascent() + 6;
    const int left = std::max(8, (width() - bigMetrics.horizontalAdvance(line.text)) / 2);
    painter.setFont(small);
    painter.setPen(chordColour);
    for (const Chord& chord : line.chords)
      painter.drawText(left + bigMetrics.horizontalAdvance(line.text.left(chord.column)),
                       baseline - bigMetrics.ascent() - 2, chord.name);
    painter.setFont(big);
    const int index = first + row;
    if (index != currentLine_) {
      painter.setPen(index < currentLine_ ? past : waiting);
      painter.drawText(left, baseline, line.text);
      continue;
    }
    // Sung part, the syllable being sung (underlined), then the rest.
    const int from = std::clamp(highlightStart_ - line.start, 0, int(line.text.size()));
    const int to = std::clamp(highlightEnd_ - line.start, from, int(line.text.size()));
    const QString before = line.text.left(from);
    const QString syllable = line.text.mid(from, to - from);
    const QString after = line.text.mid(to);
    int x = left;
    painter.setPen(QColor(225, 150, 50));
    painter.drawText(x, baseline, before);
    x += bigMetrics.horizontalAdvance(before);
    const int syllableWidth = bigMetrics.horizontalAdvance(syllable);
    painter.fillRect(QRect(x, baseline + 3, syllableWidth, 3), sung);
    painter.setPen(sung);
    painter.drawText(x, baseline, syllable);
    x += syllableWidth;
    painter.setPen(waiting);
    painter.drawText(x, baseline, after);
  }
}

}  // namespace swapp
