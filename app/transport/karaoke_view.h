// The song's lyrics large, line by line, with the syllable being sung highlighted at the
// player's position and the chords above the words. Reads every dialect the lyrics extractor
// knows.
#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

#include <cstdint>

#include "smf/midi_sequence.h"
#include "text/synced_text.h"

namespace swapp {

class KaraokeView : public QWidget {
  Q_OBJECT
 public:
  struct Chord {
    QString name;
    int32_t ticks = 0;
    int line = 0;
    int column = 0;  // UTF-16 offset in its line of the syllable it falls on
  };
  struct Line {
    QString text;
    int start = 0;  // UTF-16 offset of the line in the joined text
    QVector<Chord> chords;
  };

  explicit KaraokeView(QWidget* parent = nullptr);

  // Reads the lyrics and chords again (taking the sequence's lock) and decodes them.
  void setSequence(const sw::MidiSequence& sequence, sw::StringEncoding encoding);
  // The player's position; -1 before the song starts.
  void setTicks(int64_t ticks);

  bool hasLyrics() const { return !lines_.isEmpty(); }
  const QVector<Line>& lines() const { return lines_; }
  // The line being sung (-1 before the first syllable) and the highlighted characters: the
  // syllable at the position with the others sung at the same time.
  int currentLine() const { return currentLine_; }
  QString highlightedText() const;
  QString dialectName() const { return dialect_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void locate();

  sw::SyncedText synced_;
  QString text_;
  QVector<Line> lines_;
  QString dialect_;
  int64_t ticks_ = -1;
  int currentLine_ = -1;
  int highlightStart_ = 0;  // UTF-16 offsets in text_
  int highlightEnd_ = 0;
};

}  // namespace swapp
