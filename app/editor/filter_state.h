// What the filter bar shows and hides, as plain state: the channel, event-kind and meta-kind
// buttons, the track flags, the search and solo. Turns itself into the masks of the filtered
// event list. No widgets, so the rules are tested offscreen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/settings_store.h"
#include "editing/f_event_list.h"

namespace swapp {

enum class FilterGroup { Channels, Kinds, MetaKinds };

struct FilterButton {
  int tag = 0;           // channel index, status byte or meta type
  std::string label;     // short text on the button
  std::string toolTip;
  bool selected = true;
};

class FilterState {
 public:
  FilterState();

  const std::vector<FilterButton>& buttons(FilterGroup group) const;
  void setSelected(FilterGroup group, int index, bool selected);
  // All / None.
  void setAll(FilterGroup group, bool selected);
  // A click on a button. Without modifiers it toggles; with Alt only the clicked one is shown,
  // with Ctrl every other one is shown and the clicked one hidden; both show all.
  void click(FilterGroup group, int index, bool alt, bool ctrl);

  const sw::FEventList::TrackMask& trackMask() const { return trackMask_; }
  void setAllTracks(bool shown);
  // A track item of the tracks menu, with the same modifier rule over the first numTracks.
  void clickTrack(int track, int numTracks, bool alt, bool ctrl);

  void setSearch(std::string text) { search_ = std::move(text); }
  const std::string& search() const { return search_; }
  void setSearchEventMask(uint32_t mask) { searchEventMask_ = mask; }
  uint32_t searchEventMask() const { return searchEventMask_; }
  void setSolo(bool solo) { solo_ = solo; }
  bool solo() const { return solo_; }

  uint16_t channelMask() const;
  // Note-offs stay hidden unless showNotesOff, whatever their button says.
  uint16_t midiMask(bool showNotesOff) const;
  sw::FEventList::MetaMask metaMask() const;
  // The channels the player mutes: in solo mode those filtered out, otherwise none.
  uint16_t mutedChannels() const { return solo_ ? uint16_t(~channelMask()) : 0; }

  // Hands every mask and the search to the list and refilters it.
  void applyTo(sw::FEventList& list, bool showNotesOff) const;

  // Presets: the selected tags of the three groups under "filteredChannels", "filteredMidi"
  // and "filteredMeta". Loading leaves a group alone when its key holds nothing.
  void savePresets(sw::SettingsStore& store) const;
  void loadPresets(const sw::SettingsStore& store);

 private:
  std::vector<FilterButton>& mutableButtons(FilterGroup group);
  static void applyClick(std::vector<bool*> flags, size_t clicked, bool alt, bool ctrl);

  std::vector<FilterButton> channels_, kinds_, metaKinds_;
  sw::FEventList::TrackMask trackMask_{};
  std::string search_;
  uint32_t searchEventMask_ = sw::FEventList::kSearchSecond | sw::FEventList::kSearchThird |
                              sw::FEventList::kSearchDataString;
  bool solo_ = false;
};

}  // namespace swapp
