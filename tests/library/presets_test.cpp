#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/notification_center.h"
#include "base/settings_store.h"
#include "library/factory_defaults.h"
#include "library/meta_text_preset_source.h"
#include "library/presets_pop_up_model.h"
#include "library/segment_state.h"
#include "library/ts_preset_manager.h"
#include "temp_dir.h"

using namespace sw;

namespace {

class LogRecorder {
 public:
  LogRecorder() {
    previous_ = setLogSink([this](const std::string& line) { lines.push_back(line); });
  }
  ~LogRecorder() { setLogSink(previous_); }
  bool contains(std::string_view text) const {
    for (const auto& line : lines)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  std::vector<std::string> lines;

 private:
  LogSink previous_;
};

// A data source holding one value, counting what it was given.
class ValueSource : public TSPresetManagerDataSource {
 public:
  SettingValue current = SettingValue("a");
  std::vector<std::optional<SettingValue>> applied;
  SettingValue getDataForPreset() override { return current; }
  void setDataFromPreset(const std::optional<SettingValue>& data) override { applied.push_back(data); }
};

class PresetsTest : public ::testing::Test {
 protected:
  swtest::TempDir dir;
  std::string path = dir.file("settings.plist");
  SettingsStore store{path};
  NotificationCenter center;
  int posts = 0;
  NotificationCenter::Token token = center.addObserver("PresetsListChanged", [this](auto&, auto&) { ++posts; });
};

std::vector<std::string> namesOf(const std::vector<Preset>& presets) {
  std::vector<std::string> names;
  for (const auto& preset : presets) names.push_back(preset.name);
  return names;
}

}  // namespace

TEST(FactoryDefaults, AnswerWhenUnsetAndNeverOverrideTheUser) {
  swtest::TempDir dir;
  SettingsStore store(dir.file("settings.plist"));
  store.setBool("useGMInstruments", false);
  registerFactoryDefaults(store);
  EXPECT_EQ(factoryDefaults().size(), 19u);
  // First run: of the Fix switches only these two are on.
  EXPECT_TRUE(store.boolForKey("fixExtension"));
  EXPECT_TRUE(store.boolForKey("addGMReset"));
  for (const char* key : {"setCreator", "fixSignature", "fixBadDeltaTime", "fixMissingResetMessage", "addGSReset", "addXGReset"})
    EXPECT_FALSE(store.boolForKey(key)) << key;
  EXPECT_EQ(store.stringForKey("currentCreator"), "Krl2");
  EXPECT_EQ(store.integerForKey("targetMetaEvent"), 3);
  // The transpose mask leaves channel 10 (bit 9) out and holds the other fifteen.
  int64_t mask = store.integerForKey("transposeChannelMask");
  EXPECT_EQ(mask & (1 << 9), 0);
  EXPECT_EQ(mask | (1 << 9), 0xFFFF);
  EXPECT_FALSE(store.boolForKey("useGMInstruments"));  // the user's value stays
  store.removeObjectForKey("useGMInstruments");
  EXPECT_TRUE(store.boolForKey("useGMInstruments"));
  // Defaults are never written to the file.
  EXPECT_TRUE(SettingsStore(store.path()).dictionaryRepresentation().empty());
}

TEST(FactoryDefaults, TableIsConsistent) {
  std::set<std::string_view> seen;
  for (const SettingKey& entry : knownSettingKeys()) {
    EXPECT_TRUE(seen.insert(entry.key).second) << "twice: " << entry.key;
    if (entry.factoryValue) EXPECT_EQ(entry.factoryValue->type(), entry.type) << entry.key;
  }
  ASSERT_NE(findSettingKey("showNotesOff"), nullptr);
  EXPECT_FALSE(findSettingKey("showNotesOff")->factoryValue);  // note-offs stay hidden until set
  EXPECT_EQ(findSettingKey("noSuchKey"), nullptr);
}

TEST_F(PresetsTest, ManagerRoundTripThroughTheStore) {
  ValueSource source;
  TSPresetManager manager(store, center);
  manager.setDataSource(&source);
  EXPECT_THROW(manager.loadPresetsWithKey(""), std::invalid_argument);
  manager.loadPresetsWithKey("Test");
  EXPECT_EQ(manager.presetsKey(), "TSPreset_Test");
  EXPECT_EQ(manager.presetIndex(), -1);
  EXPECT_FALSE(manager.validateCommand(TSPresetManager::Command::SavePreset));
  EXPECT_TRUE(manager.validateCommand(TSPresetManager::Command::AddPreset));

  ASSERT_EQ(manager.addPreset(manager.uniqueName()), noErr);
  source.current = SettingValue(SettingValue::Array{"x", 2});
  ASSERT_EQ(manager.addPreset("second"), noErr);
  EXPECT_EQ(manager.presetIndex(), 1);
  EXPECT_EQ(posts, 2);
  source.current = SettingValue("changed");
  manager.choosePreset(0);
  ASSERT_EQ(manager.savePreset(), noErr);  // over "Untitled"
  EXPECT_EQ(posts, 2);                     // saving over posts nothing
  ASSERT_EQ(manager.renamePreset("first"), noErr);
  EXPECT_EQ(posts, 3);

  SettingsStore fromFile(path);
  TSPresetManager fromDisk(fromFile, center);
  fromDisk.loadPresetsWithKey("Test");
  EXPECT_EQ(namesOf(fromDisk.presets()), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(fromDisk.presets()[0].data, SettingValue("changed"));
  EXPECT_EQ(fromDisk.presets()[1].data, SettingValue(SettingValue::Array{"x", 2}));

  // Choosing hands the data over; the last-used entry hands nothing.
  ValueSource other;
  fromDisk.setDataSource(&other);
  fromDisk.choosePreset(1);
  fromDisk.choosePreset(-1);
  fromDisk.choosePreset(99);  // out of range: as the last-used entry
  ASSERT_EQ(other.applied.size(), 3u);
  EXPECT_EQ(other.applied[0], SettingValue(SettingValue::Array{"x", 2}));
  EXPECT_FALSE(other.applied[1]);
  EXPECT_FALSE(other.applied[2]);

  // Deleting the chosen preset goes back to the last-used entry.
  fromDisk.choosePreset(0);
  ASSERT_EQ(fromDisk.deletePreset(), noErr);
  EXPECT_EQ(fromDisk.presetIndex(), -1);
  EXPECT_EQ(fromDisk.deletePreset(), paramErr);
  TSPresetManager last(fromFile, center);
  last.loadPresetsWithKey("Test");
  EXPECT_EQ(namesOf(last.presets()), std::vector<std::string>{"second"});
}

TEST_F(PresetsTest, UniqueNamesAndTheNamingField) {
  ValueSource source;
  TSPresetManager manager(store, center);
  manager.setDataSource(&source);
  manager.loadPresetsWithKey("Names");
  EXPECT_EQ(manager.uniqueName(), "Untitled");
  manager.addPreset("Untitled");
  manager.addPreset("Untitled 1");
  EXPECT_EQ(manager.uniqueName(), "Untitled 2");
  manager.nameFieldDidChange("Untitled 1");
  EXPECT_FALSE(manager.isUniqueName());
  manager.nameFieldDidChange("Untitled 10");
  EXPECT_TRUE(manager.isUniqueName());
  // The manager itself accepts a duplicate name.
  EXPECT_EQ(manager.addPreset("Untitled"), noErr);
  EXPECT_EQ(manager.presets().size(), 3u);
}

TEST_F(PresetsTest, WithoutDataSourceSavingIsLoggedAndIgnored) {
  TSPresetManager manager(store, center);
  manager.loadPresetsWithKey("Lonely");
  LogRecorder log;
  EXPECT_NE(manager.addPreset("x"), noErr);
  EXPECT_TRUE(log.contains("TSPresetManager dataSource is required and must implement TSPresetManagerDataSource protocol"));
  EXPECT_TRUE(manager.presets().empty());
  EXPECT_FALSE(store.objectForKey("TSPreset_Lonely"));
  EXPECT_EQ(posts, 0);
}

TEST_F(PresetsTest, DamagedStoredPresetsAreSkippedWithALogLine) {
  store.setObject("TSPreset_Bad", SettingValue("not a list"));
  store.setObject("TSPreset_Mixed",
                  SettingValue::Array{SettingValue(SettingValue::Dictionary{{"name", "good"}, {"data", 1}}), SettingValue(5),
                                      SettingValue(SettingValue::Dictionary{{"name", 7}, {"data", 1}}),
                                      SettingValue(SettingValue::Dictionary{{"name", "no data"}})});
  LogRecorder log;
  TSPresetManager manager(store, center);
  manager.loadPresetsWithKey("Bad");
  EXPECT_TRUE(manager.presets().empty());
  EXPECT_TRUE(log.contains("TSPreset_Bad"));
  manager.loadPresetsWithKey("Mixed");
  EXPECT_EQ(namesOf(manager.presets()), std::vector<std::string>{"good"});
  EXPECT_EQ(log.lines.size(), 4u);
}

TEST_F(PresetsTest, MetaTextPresetsHoldEightStrings) {
  store.setString("regExp1", "^(\\d+) ");
  store.setString("replaceStr4", "$1");
  int refreshes = 0;
  MetaTextPresetSource source(store, [&] { ++refreshes; });
  SettingValue data = source.getDataForPreset();
  ASSERT_EQ(data.arrayValue().size(), 8u);
  EXPECT_EQ(data.arrayValue()[0], SettingValue("^(\\d+) "));
  EXPECT_EQ(data.arrayValue()[1], SettingValue(""));
  EXPECT_EQ(data.arrayValue()[7], SettingValue("$1"));

  store.removeObjectForKey("regExp1");
  source.setDataFromPreset(std::nullopt);
  EXPECT_EQ(refreshes, 0);
  {
    LogRecorder log;
    source.setDataFromPreset(SettingValue(SettingValue::Array{"a", "b", "c"}));  // fewer than eight
    source.setDataFromPreset(SettingValue(SettingValue::Dictionary{{"regExp1", "x"}}));
    EXPECT_EQ(log.lines.size(), 2u);
  }
  EXPECT_EQ(store.stringForKey("regExp1"), "");
  EXPECT_EQ(refreshes, 0);
  source.setDataFromPreset(data);
  EXPECT_EQ(store.stringForKey("regExp1"), "^(\\d+) ");
  EXPECT_EQ(refreshes, 1);
}

TEST_F(PresetsTest, KeyPresetsForToolsSaveApplyAndDelete) {
  registerFactoryDefaults(store);
  store.setInteger("transposeAmount", 5);
  EXPECT_EQ(savePresetOfKeys("Transpose", "up5", {"transposeAmount", "transposeChannelMask"}, store, center), noErr);
  EXPECT_EQ(savePresetOfKeys("Transpose", "none", {}, store, center), paramErr);
  EXPECT_EQ(posts, 1);
  store.setInteger("transposeAmount", 0);
  store.setInteger("transposeChannelMask", 1);

  EXPECT_EQ(applyPreset("Transpose", "up5", PresetScope::ThisRun, store), noErr);
  EXPECT_EQ(store.integerForKey("transposeAmount"), 5);
  EXPECT_EQ(store.integerForKey("transposeChannelMask"), 65023);  // the factory value it held
  EXPECT_EQ(SettingsStore(path).integerForKey("transposeAmount"), 0);  // not saved
  EXPECT_EQ(applyPreset("Transpose", "missing", PresetScope::ThisRun, store), fnfErr);

  // The meta-text list keeps the form its pop-up reads, and a saved apply persists.
  store.setString("regExp2", "_");
  EXPECT_EQ(savePresetOfKeys(kMetaTextPresetList, "underscores", {}, store, center), noErr);
  EXPECT_EQ(savePresetOfKeys(kMetaTextPresetList, "bad", {"regExp1"}, store, center), paramErr);
  TSPresetManager manager(store, center);
  manager.loadPresetsWithKey(kMetaTextPresetList);
  ASSERT_EQ(manager.presets().size(), 1u);
  EXPECT_EQ(manager.presets()[0].data.arrayValue().size(), 8u);
  store.setString("regExp2", "");
  EXPECT_EQ(applyPreset(kMetaTextPresetList, "underscores", PresetScope::Saved, store), noErr);
  EXPECT_EQ(SettingsStore(path).stringForKey("regExp2"), "_");

  // Damaged data sets nothing.
  store.setObject("TSPreset_SetMetaEventText",
                  SettingValue::Array{SettingValue(SettingValue::Dictionary{{"name", "short"}, {"data", SettingValue::Array{"a"}}})});
  {
    LogRecorder log;
    EXPECT_EQ(applyPreset(kMetaTextPresetList, "short", PresetScope::Saved, store), paramErr);
    EXPECT_EQ(log.lines.size(), 1u);
  }
  EXPECT_EQ(store.stringForKey("regExp1"), "");

  EXPECT_EQ(presetListNames(store), (std::vector<std::string>{"SetMetaEventText", "Transpose"}));
  EXPECT_EQ(deletePresetNamed("Transpose", "up5", store, center), noErr);
  EXPECT_EQ(deletePresetNamed("Transpose", "up5", store, center), fnfErr);
}

TEST_F(PresetsTest, PopUpListsPresetsAndNeverSelectsACommand) {
  using Kind = PresetsPopUpItem::Kind;
  ValueSource source;
  TSPresetManager manager(store, center);
  manager.setDataSource(&source);
  int rebuilds = 0;
  PresetsPopUpModel popUp(manager, "Pop", center, [&] { ++rebuilds; });
  // No presets: the last-used entry, one separator, the four commands.
  ASSERT_EQ(popUp.items().size(), 6u);
  EXPECT_EQ(popUp.items()[0].tag, -1);
  EXPECT_EQ(popUp.items()[0].title, "Last Used Settings");
  EXPECT_EQ(popUp.items()[1].kind, Kind::Separator);
  EXPECT_EQ(popUp.items()[2].action, TSPresetManager::Command::SavePreset);
  EXPECT_FALSE(popUp.items()[2].enabled);
  EXPECT_TRUE(popUp.items()[3].enabled);  // save as
  EXPECT_EQ(popUp.selectedIndex(), 0);
  EXPECT_FALSE(popUp.selectItemAtIndex(2));

  manager.addPreset("one");
  manager.addPreset("two");
  EXPECT_EQ(rebuilds, 2);
  ASSERT_EQ(popUp.items().size(), 9u);
  EXPECT_EQ(popUp.items()[3].title, "two");
  EXPECT_EQ(popUp.items()[3].tag, 1);
  EXPECT_EQ(popUp.items()[4].kind, Kind::Separator);
  EXPECT_EQ(popUp.selectedIndex(), 3);  // the new preset
  EXPECT_TRUE(popUp.items()[5].enabled);
  EXPECT_TRUE(popUp.selectItemAtIndex(4));
  EXPECT_FALSE(popUp.selectItemAtIndex(5));
  EXPECT_FALSE(popUp.selectItemAtIndex(-1));
  manager.deletePreset();
  EXPECT_EQ(popUp.items().size(), 8u);
  EXPECT_EQ(popUp.selectedIndex(), 0);
}

TEST(SegmentState, TagsRoundTripAndMissingArrayLeavesTheControl) {
  swtest::TempDir dir;
  SettingsStore store(dir.file("settings.plist"));
  EXPECT_FALSE(loadSegmentState("filteredChannels", store));
  EXPECT_EQ(saveSegmentState("filteredChannels", {0, 3, 15}, store), noErr);
  EXPECT_EQ(loadSegmentState("filteredChannels", SettingsStore(store.path())), (std::vector<int>{0, 3, 15}));
  store.setString("filteredMidi", "0,1");
  EXPECT_FALSE(loadSegmentState("filteredMidi", store));
}
