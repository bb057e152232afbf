// The MIDI settings: where playback goes (a sequencer destination, or the built-in synthesizer,
// which is also the fallback), the reset messages sent before playing, all sounds off on stop,
// and the master volume. Without a sequencer the window says so and the synthesizer is used.
// OK stores the choice; Cancel leaves everything as it was. The output is muted while the
// window is open.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QSlider;

namespace sw {
class MIDIClient;
}

namespace swapp {

class SettingsForm;

class MidiSettingsWindow : public QDialog {
  Q_OBJECT
 public:
  explicit MidiSettingsWindow(QWidget* parent = nullptr);
  MidiSettingsWindow(sw::MIDIClient& client, QWidget* parent = nullptr);

  QListWidget* destinations() const { return list_; }
  QLabel* transportNote() const { return note_; }
  QSlider* volume() const { return volume_; }
  SettingsForm& form() const { return *form_; }
  // Lists the destinations again and selects the one the settings choose.
  void refresh();
  ~MidiSettingsWindow() override;
  void accept() override;
  void done(int result) override;

 private:
  sw::MIDIClient& client_;
  SettingsForm* form_;
  QListWidget* list_;
  QLabel* note_;
  QSlider* volume_;
};

}  // namespace swapp
