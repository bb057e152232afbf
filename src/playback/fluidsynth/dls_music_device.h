// DLSMusicDevice: the synthesizer every output falls back to, with its settings (sound bank,
// reverb, tuning, volume law with the user's trim, output channel pair), its own reset, and
// the shielding from messages it mishandles: NRPNs and stray data entries are dropped, bank
// select LSB is dropped, and reset messages in a file run the device's own reset.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/settings_store.h"
#include "playback/fluidsynth/music_device.h"

namespace sw {

// The controller part of the shielding: NRPN selects and the data entries of parameters the
// synthesizer does not know are dropped, and so is bank select LSB.
class RPNShield {
 public:
  // True when the control change (status Bn, controller, value) may reach the synthesizer.
  bool passes(uint8_t controller, uint8_t value);

 private:
  std::atomic<bool> rpnMSBValid_{false};
  std::atomic<bool> rpnLSBValid_{false};
};

class DLSMusicDevice : public MusicDevice {
 public:
  // Keys of the settings dictionary beside the synthesizer's own.
  static constexpr const char* kVolumeOffsetKey = "MusicDeviceVolumeOffset";
  static constexpr const char* kTuningKey = "MusicDeviceTuning";
  static constexpr const char* kChannelIndexKey = "MusicDeviceChannelIndex";
  static constexpr const char* kSettingsDefault = "Music Device Settings";

  struct ReverbRoom {
    const char* name;
    double roomSize, damping, width;
  };
  static const std::vector<ReverbRoom>& reverbRooms();

  // With the user default "Music Device Settings".
  static std::shared_ptr<DLSMusicDevice> create(const Options& options);
  static std::shared_ptr<DLSMusicDevice> create() { return create(Options{}); }
  // With the given settings (none: factory settings with the default bank).
  static std::shared_ptr<DLSMusicDevice> createWithSettings(const SettingValue::Dictionary* settings,
                                                            const Options& options);
  ~DLSMusicDevice() override;

  OSStatus sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) override;
  using MusicDevice::sendBytes;
  void resetDevice(bool GM, bool GS, bool XG) override;
  void sendMasterVolume(float volume) override;

  // ---- Settings
  const std::string& bankPath() const { return bankPath_; }
  OSStatus setBankPath(const std::string& path);
  std::string bankName() const;
  double reverbVolume() const { return reverbVolume_; }  // 0.0-1.0
  void setReverbVolume(double volume);
  uint32_t reverbRoomType() const { return reverbRoomType_; }
  void setReverbRoomType(uint32_t type);
  uint32_t defaultReverbRoomType() const { return defaultReverbRoomType_; }
  int32_t tuning() const { return tuning_; }  // cents, -1200..1200
  void setTuning(int32_t cents);
  std::optional<double> volumeOffset() const { return volumeOffset_; }  // dB; none reads as 0
  void setVolumeOffset(std::optional<double> decibels);
  float masterVolume() const { return masterVolume_; }
  uint64_t channelIndex() const { return outputChannelPair(); }
  // 0 = the device's default pair; n = device channels 2n-1 and 2n.
  OSStatus setChannelIndex(uint64_t index);
  bool needsDrumPartReset() const { return needsDrumPartReset_; }

  // The gain the volume law gives: v^0.08 x 120 - 120 dB, plus the offset.
  static double volumeDecibels(float volume, double offset);
  double currentGainDecibels() const;

  SettingValue::Dictionary settings() const;
  // paramErr when "type", "subtype" or "manufacturer" is not this synthesizer's.
  OSStatus setSettings(const SettingValue::Dictionary& settings);
  const SettingValue::Dictionary& defaultSettings() const { return defaultSettings_; }
  // The editor's preset commands: store the settings in "Music Device Settings", apply the
  // stored ones again, or apply the factory settings with no volume trim.
  OSStatus savePreset();
  OSStatus restorePreset();
  OSStatus factoryDefaults();
  // Called with "bankName", "bankPath", "reverbVolume" or "tuning" when that setting changed.
  void setChangeObserver(std::function<void(const std::string&)> observer) { observer_ = std::move(observer); }

 protected:
  using MusicDevice::MusicDevice;
  void afterSynthReset() override;

 private:
  void resetDeviceAt(bool GM, bool GS, bool XG, uint64_t timeStamp);
  void applyGain();
  void applyReverb();
  void applyTuning();
  void announce(const char* key) {
    if (observer_) observer_(key);
  }

  std::atomic<float> masterVolume_{1.0f};
  uint32_t defaultReverbRoomType_ = 0;
  uint32_t reverbRoomType_ = 0;
  double reverbVolume_ = 0.9;
  int32_t tuning_ = 0;
  std::optional<double> volumeOffset_;
  std::atomic<bool> needsDrumPartReset_{false};
  RPNShield shield_;
  std::string bankPath_;
  int bankId_ = -1;
  SettingValue::Dictionary defaultSettings_;
  std::function<void(const std::string&)> observer_;
};

}  // namespace sw
