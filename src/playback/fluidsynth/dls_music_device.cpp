#include "playback/fluidsynth/dls_music_device.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "base/four_char_code.h"
#include "base/log.h"
#include "base/string_format.h"
#include "playback/fluidsynth/sound_bank.h"
#include "playback/midi_messages.h"
#include "sysex/sysex.h"

namespace sw {

namespace {

// The linear gain of 0 dB. FluidSynth's own default (0.2) is on the quiet side for a
// General MIDI bank; this leaves headroom for dense arrangements.
constexpr double kUnityGain = 0.5;

constexpr FourCharCode kType = fourCC("aumu");
constexpr FourCharCode kSubtype = fourCC("fsyn");
constexpr FourCharCode kManufacturer = fourCC("flui");

void logStatus(const char* pattern, int status) { logMessage(format(pattern, status)); }

std::optional<double> numberIn(const SettingValue::Dictionary& settings, const char* key) {
  auto it = settings.find(key);
  if (it == settings.end() || !it->second.isNumber()) return std::nullopt;
  double value = it->second.doubleValue();
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

const std::vector<DLSMusicDevice::ReverbRoom>& DLSMusicDevice::reverbRooms() {
  // Room 0 is FluidSynth's own default reverb.
  static const std::vector<ReverbRoom> rooms{
      {"Small Room", 0.2, 0.0, 0.5},  {"Medium Room", 0.4, 0.2, 0.6}, {"Large Room", 0.6, 0.3, 0.8},
      {"Medium Hall", 0.7, 0.4, 0.9}, {"Large Hall", 0.85, 0.5, 1.0}, {"Plate", 0.5, 0.0, 1.0},
  };
  return rooms;
}

std::shared_ptr<DLSMusicDevice> DLSMusicDevice::create(const Options& options) {
  SettingValue::Dictionary saved = SettingsStore::shared().dictionaryForKey(kSettingsDefault);
  return createWithSettings(saved.empty() ? nullptr : &saved, options);
}

std::shared_ptr<DLSMusicDevice> DLSMusicDevice::createWithSettings(const SettingValue::Dictionary* settings,
                                                                   const Options& options) {
  std::shared_ptr<DLSMusicDevice> device(new DLSMusicDevice(options));
  if (!device->initialize()) return nullptr;
  device->masterVolume_ = 1.0f;
  device->defaultReverbRoomType_ = 0;
  device->applyReverb();
  const std::string bank = defaultSoundBankPath();
  if (bank.empty())
    logMessage("No SoundFont found in the sound-font folders: install timgm6mb-soundfont or choose a bank");
  else
    device->setBankPath(bank);
  device->applyGain();
  device->defaultSettings_ = device->settings();
  if (settings) device->setSettings(*settings);
  return device;
}

DLSMusicDevice::~DLSMusicDevice() { shutdown(); }

// ---- Sending

bool RPNShield::passes(uint8_t controller, uint8_t value) {
  switch (controller) {
    case midi::kNRPNLSB:
    case midi::kNRPNMSB:
      rpnMSBValid_ = false;
      rpnLSBValid_ = false;
      return false;
    case midi::kRPNLSB:
      rpnLSBValid_ = false;
      if (!(value < 3 || value == 127)) return false;
      rpnLSBValid_ = true;
      return true;
    case midi::kRPNMSB:
      rpnMSBValid_ = false;
      if (!(value == 0 || value == 127)) return false;
      rpnMSBValid_ = true;
      return true;
    case midi::kDataEntryMSB: return rpnMSBValid_;
    case midi::kDataEntryLSB: return rpnLSBValid_;
    case midi::kBankSelectLSB: return false;
    default: return true;
  }
}

OSStatus DLSMusicDevice::sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) {
  if (!bytes || size <= 0) return -50;
  if ((bytes[0] & 0xF0) == midi::kControlChange && size >= 2) {
    if (!shield_.passes(bytes[1], size >= 3 ? bytes[2] : 0)) return 0;
  } else if (bytes[0] == 0xF0) {
    const FourCharCode reset = Sysex::resetType(bytes, size_t(size));
    if (reset) {
      resetDeviceAt(reset == fourCC("GM  "), reset == fourCC("GS  "), reset == fourCC("XG  "), timeStamp);
      return 0;
    }
    // GS use-for-rhythm-part (address 40 1x 15): parts may no longer be what a reset expects.
    if (size >= 9 && bytes[1] == 0x41 && bytes[2] == 0x10 && bytes[3] == 0x42 && bytes[4] == 0x12 &&
        bytes[5] == 0x40 && (bytes[6] & 0xF0) == 0x10 && bytes[7] == 0x15)
      needsDrumPartReset_ = true;
  }
  return MusicDevice::sendBytes(bytes, size, timeStamp);
}

void DLSMusicDevice::resetDevice(bool GM, bool GS, bool XG) { resetDeviceAt(GM, GS, XG, 0); }

void DLSMusicDevice::resetDeviceAt(bool GM, bool GS, bool XG, uint64_t timeStamp) {
  if (!GM && !GS && !XG) {
    logMessage("No reset messages enabled; cannot reset device!");
    return;
  }
  const bool drumParts = needsDrumPartReset_;
  for (uint8_t channel = 0; channel < 16; ++channel) {
    if (drumParts) {
      const uint8_t part = channel == 9 ? 0x10 : channel < 9 ? uint8_t(0x11 + channel) : uint8_t(0x1A + channel - 10);
      std::vector<uint8_t> event{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, part, 0x15, uint8_t(channel == 9), 0x00, 0xF7};
      Sysex::computeCheckSum(event);
      std::vector<uint8_t> message = Sysex::MIDIDataFromEventData(event.data(), event.size());
      MusicDevice::sendBytes(message.data(), int32_t(message.size()), timeStamp);
    }
    const uint8_t cc = midi::kControlChange | channel;
    const uint8_t messages[][3] = {
        {cc, midi::kResetAllControllers, 0}, {cc, midi::kVolume, 100},  {cc, midi::kPan, 64},
        {cc, midi::kReverbSend, 40},         {cc, midi::kChorusSend, 0}, {cc, midi::kRPNMSB, 0},
        {cc, midi::kRPNLSB, 0},              {cc, midi::kDataEntryMSB, 2}, {cc, midi::kDataEntryLSB, 0},
        {cc, midi::kRPNMSB, 127},            {cc, midi::kRPNLSB, 127},
    };
    for (const auto& message : messages) MusicDevice::sendBytes(message, 3, timeStamp);
    const uint8_t program[2] = {uint8_t(midi::kProgramChange | channel), 0};
    MusicDevice::sendBytes(program, 2, timeStamp);
  }
  needsDrumPartReset_ = false;
}

void DLSMusicDevice::afterSynthReset() { applyTuning(); }

// ---- Volume

double DLSMusicDevice::volumeDecibels(float volume, double offset) {
  double v = std::isfinite(volume) ? std::clamp(double(volume), 0.0, 1.0) : 1.0;
  return std::pow(v, 0.08) * 120.0 - 120.0 + (std::isfinite(offset) ? offset : 0.0);
}

double DLSMusicDevice::currentGainDecibels() const { return volumeDecibels(masterVolume_, volumeOffset_.value_or(0.0)); }

void DLSMusicDevice::applyGain() {
  const double gain = kUnityGain * std::pow(10.0, currentGainDecibels() / 20.0);
  fluid_synth_set_gain(synth(), float(std::clamp(gain, 0.0, 10.0)));
}

void DLSMusicDevice::sendMasterVolume(float volume) {
  if (!std::isfinite(volume)) return;
  masterVolume_ = std::clamp(volume, 0.0f, 1.0f);
  applyGain();
}

void DLSMusicDevice::setVolumeOffset(std::optional<double> decibels) {
  if (decibels && !std::isfinite(*decibels)) decibels.reset();
  if (decibels) decibels = std::clamp(*decibels, -96.0, 24.0);
  volumeOffset_ = decibels;
  applyGain();
}

// ---- Bank, reverb, tuning

OSStatus DLSMusicDevice::setBankPath(const std::string& path) {
  std::error_code error;
  OSStatus status = noErr;
  int id = FLUID_FAILED;
  if (path.empty() || !std::filesystem::is_regular_file(path, error))
    status = fnfErr;
  else if ((id = fluid_synth_sfload(synth(), path.c_str(), 1)) == FLUID_FAILED)
    status = paramErr;
  if (status != noErr) {
    logStatus("Error while setting BankPath: %d", status);
    return status;
  }
  if (bankId_ >= 0) fluid_synth_sfunload(synth(), bankId_, 1);
  bankId_ = id;
  bankPath_ = path;
  announce("bankName");
  announce("bankPath");
  return noErr;
}

std::string DLSMusicDevice::bankName() const {
  if (bankPath_.empty()) return "";
  std::string name;
  OSStatus status = soundBankName(bankPath_, &name);
  if (status == noErr) return name;
  logStatus("CopyNameFromSoundBank returned error: %d", status);
  return std::filesystem::path(bankPath_).stem().string();
}

void DLSMusicDevice::setReverbVolume(double volume) {
  if (!std::isfinite(volume)) return;
  reverbVolume_ = std::clamp(volume, 0.0, 1.0);
  applyReverb();
  announce("reverbVolume");
}

void DLSMusicDevice::setReverbRoomType(uint32_t type) {
  if (type >= reverbRooms().size()) return;
  reverbRoomType_ = type;
  applyReverb();
}

void DLSMusicDevice::applyReverb() {
  const ReverbRoom& room = reverbRooms()[reverbRoomType_];
  fluid_synth_set_reverb_group_roomsize(synth(), -1, room.roomSize);
  fluid_synth_set_reverb_group_damp(synth(), -1, room.damping);
  fluid_synth_set_reverb_group_width(synth(), -1, room.width);
  fluid_synth_set_reverb_group_level(synth(), -1, reverbVolume_);
}

void DLSMusicDevice::setTuning(int32_t cents) {
  cents = std::clamp(cents, -1200, 1200);
  if (cents == tuning_) return;
  tuning_ = cents;
  applyTuning();
  announce("tuning");
}

void DLSMusicDevice::applyTuning() {
  if (tuning_ == 0) {
    for (int channel = 0; channel < 16; ++channel) fluid_synth_deactivate_tuning(synth(), channel, 1);
    return;
  }
  double pitches[128];
  for (int key = 0; key < 128; ++key) pitches[key] = key * 100.0 + tuning_;
  fluid_synth_activate_key_tuning(synth(), 0, 0, "Scorewell", pitches, 1);
  for (int channel = 0; channel < 16; ++channel) fluid_synth_activate_tuning(synth(), channel, 0, 0, 1);
}

OSStatus DLSMusicDevice::setChannelIndex(uint64_t index) {
  if (index > 512) return paramErr;
  setOutputChannelPair(index);
  return noErr;
}

// ---- Settings dictionary

SettingValue::Dictionary DLSMusicDevice::settings() const {
  SettingValue::Dictionary settings;
  settings["type"] = int64_t(kType);
  settings["subtype"] = int64_t(kSubtype);
  settings["manufacturer"] = int64_t(kManufacturer);
  settings["name"] = "User Preset";
  settings["file-references"] = SettingValue::Dictionary{{"sb-file-ref", bankPath_}};
  settings["reverb-volume"] = reverbVolume_;
  settings["reverb-room-type"] = int64_t(reverbRoomType_);
  settings[kVolumeOffsetKey] = volumeOffset_.value_or(0.0);
  settings[kTuningKey] = int64_t(tuning_);
  settings[kChannelIndexKey] = int64_t(channelIndex());
  return settings;
}

OSStatus DLSMusicDevice::setSettings(const SettingValue::Dictionary& settings) {
  auto matches = [&](const char* key, FourCharCode expected) {
    auto it = settings.find(key);
    return it != settings.end() && it->second.isNumber() && it->second.integerValue() == int64_t(expected);
  };
  if (!matches("type", kType) || !matches("subtype", kSubtype) || !matches("manufacturer", kManufacturer)) {
    logStatus("MusicDevice setPreset err: %d", paramErr);
    return paramErr;
  }
  OSStatus status = noErr;
  if (auto refs = settings.find("file-references"); refs != settings.end()) {
    const SettingValue::Dictionary& files = refs->second.dictionaryValue();
    if (auto bank = files.find("sb-file-ref"); bank != files.end() && bank->second.isString()) {
      const std::string path = bank->second.stringValue();
      if (!path.empty() && path != bankPath_) status = setBankPath(path);
    }
  }
  if (auto value = numberIn(settings, "reverb-volume")) setReverbVolume(*value);
  if (auto value = numberIn(settings, "reverb-room-type"); value && *value >= 0) setReverbRoomType(uint32_t(*value));
  if (auto value = numberIn(settings, kTuningKey)) setTuning(int32_t(std::clamp(*value, -1200.0, 1200.0)));
  if (status != noErr) {
    logStatus("MusicDevice setPreset err: %d", status);
    return status;
  }
  setVolumeOffset(numberIn(settings, kVolumeOffsetKey));
  if (auto value = numberIn(settings, kChannelIndexKey); value && *value >= 0 && *value <= 512)
    setChannelIndex(uint64_t(*value));
  return noErr;
}

OSStatus DLSMusicDevice::savePreset() {
  SettingValue::Dictionary current = settings();
  return SettingsStore::shared().setObject(kSettingsDefault, std::move(current));
}

OSStatus DLSMusicDevice::restorePreset() {
  SettingValue::Dictionary saved = SettingsStore::shared().dictionaryForKey(kSettingsDefault);
  return saved.empty() ? paramErr : setSettings(saved);
}

OSStatus DLSMusicDevice::factoryDefaults() {
  SettingValue::Dictionary factory = defaultSettings_;
  factory[kVolumeOffsetKey] = 0.0;
  return setSettings(factory);
}

}  // namespace sw
