// The built-in synthesizer's editor: the sound bank (the banks found in the sound-font
// folders, kept up to date), reverb room and level, tuning, a volume trim and the output
// channel pair, applied at once; Save keeps them as the user's settings, Restore goes back to
// those, Factory Defaults to the synthesizer's own.
#pragma once

#include <QWidget>

#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSlider;
class QSpinBox;

namespace sw {
class DLSMusicDevice;
class SoundBankList;
}  // namespace sw

namespace swapp {

class SynthesizerEditor : public QWidget {
  Q_OBJECT
 public:
  // The shared output's synthesizer.
  explicit SynthesizerEditor(QWidget* parent = nullptr);
  // Another synthesizer (tests); null: the editor says there is none. `bankFolders` empty:
  // the standard sound-font folders.
  SynthesizerEditor(std::shared_ptr<sw::DLSMusicDevice> device, std::vector<std::string> bankFolders,
                    QWidget* parent = nullptr);
  ~SynthesizerEditor() override;

  QComboBox* banks() const { return banks_; }
  QComboBox* rooms() const { return rooms_; }
  QSlider* reverb() const { return reverb_; }
  QSpinBox* tuning() const { return tuning_; }
  QDoubleSpinBox* volumeOffset() const { return volumeOffset_; }
  bool isEdited() const { return isWindowModified(); }
  // Shows the synthesizer's settings.
  void refresh();

 private:
  void build();
  void fillBanks();

  std::shared_ptr<sw::DLSMusicDevice> device_;
  std::unique_ptr<sw::SoundBankList> bankList_;
  QComboBox* banks_ = nullptr;
  QComboBox* rooms_ = nullptr;
  QSlider* reverb_ = nullptr;
  QSpinBox* tuning_ = nullptr;
  QDoubleSpinBox* volumeOffset_ = nullptr;
  QComboBox* channels_ = nullptr;
  QLabel* status_ = nullptr;
  bool refreshing_ = false;
};

}  // namespace swapp
