#include "editor/filter_state.h"

#include <algorithm>
#include <cctype>

#include "library/segment_state.h"

namespace swapp {

namespace {

const char* const kPresetKeys[] = {"filteredChannels", "filteredMidi", "filteredMeta"};

}  // namespace

FilterState::FilterState() {
  for (int c = 0; c < 16; ++c) channels_.push_back({c, std::to_string(c + 1), "Channel " + std::to_string(c + 1)});
  kinds_ = {{0x80, "Off", "Note Off"},        {0x90, "On", "Note On"},          {0xA0, "KeyP", "Key Pressure"},
            {0xB0, "Ctrl", "Control Change"}, {0xC0, "Prog", "Program Change"}, {0xD0, "ChP", "Channel Pressure"},
            {0xE0, "Bend", "Pitch Bend"},     {0xF0, "SysEx", "System Exclusive"}};
  // The last button stands for every meta type without a button of its own.
  metaKinds_ = {{0x01, "Text", "Text"},         {0x02, "Copy", "Copyright"},         {0x03, "Name", "Track Name"},
                {0x04, "Instr", "Instrument Name"}, {0x05, "Lyric", "Lyric"},       {0x06, "Mark", "Marker"},
                {0x07, "Cue", "Cue Point"},     {0x51, "Tempo", "Tempo"},            {0x58, "Time", "Time Signature"},
                {0x59, "Key", "Key Signature"}, {0x7F, "Seq", "Sequencer Specific"}, {0x2F, "End", "End of Track"},
                {0x00, "Other", "Every other meta event"}};
  trackMask_.fill(1);
}

const std::vector<FilterButton>& FilterState::buttons(FilterGroup group) const {
  return const_cast<FilterState*>(this)->mutableButtons(group);
}

std::vector<FilterButton>& FilterState::mutableButtons(FilterGroup group) {
  switch (group) {
    case FilterGroup::Channels: return channels_;
    case FilterGroup::Kinds: return kinds_;
    case FilterGroup::MetaKinds: break;
  }
  return metaKinds_;
}

void FilterState::setSelected(FilterGroup group, int index, bool selected) {
  auto& buttons = mutableButtons(group);
  if (index >= 0 && size_t(index) < buttons.size()) buttons[size_t(index)].selected = selected;
}

void FilterState::setAll(FilterGroup group, bool selected) {
  for (FilterButton& button : mutableButtons(group)) button.selected = selected;
}

void FilterState::applyClick(std::vector<bool*> flags, size_t clicked, bool alt, bool ctrl) {
  if (clicked >= flags.size()) return;
  if (!alt && !ctrl) {
    *flags[clicked] = !*flags[clicked];
    return;
  }
  for (size_t i = 0; i < flags.size(); ++i) *flags[i] = i == clicked ? alt : ctrl;
}

void FilterState::click(FilterGroup group, int index, bool alt, bool ctrl) {
  auto& buttons = mutableButtons(group);
  std::vector<bool*> flags;
  for (FilterButton& button : buttons) flags.push_back(&button.selected);
  if (index >= 0) applyClick(std::move(flags), size_t(index), alt, ctrl);
}

void FilterState::setAllTracks(bool shown) { trackMask_.fill(shown ? 1 : 0); }

void FilterState::clickTrack(int track, int numTracks, bool alt, bool ctrl) {
  numTracks = std::clamp(numTracks, 0, int(trackMask_.size()));
  if (track < 0 || track >= numTracks) return;
  std::vector<bool> shown(static_cast<size_t>(numTracks));
  for (int t = 0; t < numTracks; ++t) shown[size_t(t)] = trackMask_[size_t(t)] != 0;
  if (!alt && !ctrl) {
    shown[size_t(track)] = !shown[size_t(track)];
  } else {
    for (int t = 0; t < numTracks; ++t) shown[size_t(t)] = t == track ? alt : ctrl;
  }
  for (int t = 0; t < numTracks; ++t) trackMask_[size_t(t)] = shown[size_t(t)] ? 1 : 0;
}

uint16_t FilterState::channelMask() const {
  uint16_t mask = 0;
  for (const FilterButton& button : channels_)
    if (button.selected) mask |= uint16_t(1u << button.tag);
  return mask;
}

uint16_t FilterState::midiMask(bool showNotesOff) const {
  uint16_t mask = showNotesOff ? 0xFFFF : 0xFEFF;
  for (const FilterButton& button : kinds_)
    if (!button.selected) mask &= uint16_t(~(1u << (button.tag >> 4)));
  return mask;
}

sw::FEventList::MetaMask FilterState::metaMask() const {
  sw::FEventList::MetaMask mask{};
  mask.fill(metaKinds_.back().selected ? 1 : 0);
  for (const FilterButton& button : metaKinds_) mask[size_t(button.tag)] = button.selected ? 1 : 0;
  return mask;
}

void FilterState::applyTo(sw::FEventList& list, bool showNotesOff) const {
  list.setChannelMask(channelMask());
  list.setMidiMask(midiMask(showNotesOff));
  list.setMetaMask(metaMask());
  list.setTrackMask(trackMask_);
  std::string lowered = search_;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  list.setSearchString(lowered);
  list.setSearchEventMask(searchEventMask_);
  list.filter();
}

void FilterState::savePresets(sw::SettingsStore& store) const {
  const std::vector<FilterButton>* groups[] = {&channels_, &kinds_, &metaKinds_};
  for (int g = 0; g < 3; ++g) {
    std::vector<int> tags;
    for (const FilterButton& button : *groups[g])
      if (button.selected) tags.push_back(button.tag);
    sw::saveSegmentState(kPresetKeys[g], tags, store);
  }
}

void FilterState::loadPresets(const sw::SettingsStore& store) {
  std::vector<FilterButton>* groups[] = {&channels_, &kinds_, &metaKinds_};
  for (int g = 0; g < 3; ++g) {
    const auto tags = sw::loadSegmentState(kPresetKeys[g], store);
    if (!tags) continue;
    for (FilterButton& button : *groups[g])
      button.selected = std::find(tags->begin(), tags->end(), button.tag) != tags->end();
  }
}

}  // namespace swapp
