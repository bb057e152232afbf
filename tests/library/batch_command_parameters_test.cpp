// The parameters of the batch commands: one preset list per command holding every parameter,
// what confirming a command does to them, and settings that follow others.
#include <gtest/gtest.h>

#include <set>

#include "base/settings_store.h"
#include "library/batch_command_parameters.h"
#include "library/batch_commands.h"
#include "library/factory_defaults.h"
#include "library/meta_text_preset_source.h"
#include "temp_dir.h"

namespace {

using sw::SettingValue;

class BatchParameters : public ::testing::Test {
 protected:
  swtest::TempDir dir;
  sw::SettingsStore store{dir.file("settings.plist")};
  void SetUp() override { sw::registerFactoryDefaults(store); }
  const sw::BatchCommandParameters& command(std::string_view name) {
    const sw::BatchCommandParameters* found = sw::batchCommandParameters(name);
    EXPECT_TRUE(found) << name;
    return *found;
  }
};

TEST_F(BatchParameters, OneListPerCommandNamedAfterItsSheet) {
  std::set<std::string> lists;
  for (const sw::BatchCommandParameters& parameters : sw::allBatchCommandParameters()) {
    EXPECT_EQ(parameters.presetList.empty(), parameters.keys.empty()) << parameters.name;
    if (parameters.presetList.empty()) continue;
    EXPECT_EQ(parameters.presetList, parameters.name);
    EXPECT_TRUE(lists.insert(parameters.presetList).second) << parameters.presetList;
    EXPECT_EQ(sw::batchCommandOfPresetList(parameters.presetList), &parameters);
  }
  EXPECT_EQ(command("SetMetaEventText").presetList, sw::kMetaTextPresetList);
  EXPECT_EQ(command("SetMetaEventText").presetKeys, sw::metaTextPresetKeys());
  EXPECT_TRUE(command("MarkersToLyrics").presetList.empty());
  EXPECT_EQ(sw::batchCommandOfPresetList("set-text"), nullptr);
}

TEST_F(BatchParameters, EveryCommandHasItsMethodAndItsParameters) {
  ASSERT_EQ(sw::allBatchCommands().size(), sw::allBatchCommandParameters().size());
  for (const sw::BatchCommand& batch : sw::allBatchCommands()) {
    EXPECT_TRUE(batch.method) << batch.name;
    EXPECT_NE(sw::batchCommandParameters(batch.name), nullptr) << batch.name;
  }
  // The commands that only read files, or change texts the user chose, never ask first.
  for (const char* reader : {"ExtractLyrics", "SetMetaEventText", "Compand"})
    EXPECT_FALSE(sw::batchCommand(reader)->destructive) << reader;
  EXPECT_TRUE(sw::batchCommand("Fix")->rewritesDamagedFiles);
}

TEST_F(BatchParameters, APresetSetsEveryParameterOfItsCommand) {
  const sw::BatchCommandParameters& fix = command("Fix");
  // Only one parameter set: the others are saved with the values they read as.
  ASSERT_EQ(store.setRunValue("fixSignature", true), sw::noErr);
  ASSERT_EQ(sw::saveBatchPreset(fix, "tempo only", store), sw::noErr);
  store.removeRunValue("fixSignature");
  ASSERT_EQ(store.setObject("fixMissingResetMessage", true), sw::noErr);
  ASSERT_EQ(store.setObject("fixExtension", true), sw::noErr);
  ASSERT_EQ(sw::applyBatchPreset(fix, "tempo only", sw::PresetScope::ThisRun, store), sw::noErr);
  EXPECT_TRUE(store.boolForKey("fixSignature"));
  EXPECT_FALSE(store.boolForKey("fixMissingResetMessage"));  // set since, reset by the preset
  EXPECT_TRUE(store.boolForKey("fixExtension"));             // saved with its factory value YES
  EXPECT_EQ(store.stringForKey("currentCreator"), "Krl2");

  // Set meta-event text keeps the eight strings the sheet's preset pop-up reads.
  const sw::BatchCommandParameters& setText = command("SetMetaEventText");
  ASSERT_EQ(store.setObject("regExp1", "^[0-9]+ - "), sw::noErr);
  ASSERT_EQ(sw::saveBatchPreset(setText, "numbers", store), sw::noErr);
  const auto stored = store.objectForKey("TSPreset_SetMetaEventText");
  ASSERT_TRUE(stored && stored->isArray() && stored->arrayValue().size() == 1);
  const SettingValue& data = stored->arrayValue()[0].dictionaryValue().at("data");
  ASSERT_TRUE(data.isArray());
  EXPECT_EQ(data.arrayValue().size(), 8u);
  EXPECT_EQ(data.arrayValue()[0].stringValue(), "^[0-9]+ - ");

  EXPECT_EQ(sw::saveBatchPreset(command("LyricsToMarkers"), "none", store), sw::paramErr);
  EXPECT_EQ(sw::applyBatchPreset(fix, "missing", sw::PresetScope::ThisRun, store), sw::fnfErr);
}

TEST_F(BatchParameters, TransposeLeavesChannel10OutUnlessEnabled) {
  const sw::BatchCommandParameters& transpose = command("Transpose");
  ASSERT_EQ(store.setRunValue("transposeChannelMask", 0xFFFF), sw::noErr);
  EXPECT_EQ(sw::confirmBatchParameters(transpose, store).size(), 1u);
  EXPECT_EQ(store.integerForKey("transposeChannelMask"), 65023);
  EXPECT_TRUE(sw::confirmBatchParameters(transpose, store).empty());  // nothing more to change

  ASSERT_EQ(store.setObject("enableChannel10Transpose", true), sw::noErr);
  ASSERT_EQ(store.setRunValue("transposeChannelMask", 0xFFFF), sw::noErr);
  EXPECT_TRUE(sw::confirmBatchParameters(transpose, store).empty());
  EXPECT_EQ(store.integerForKey("transposeChannelMask"), 65535);
  EXPECT_TRUE(sw::confirmBatchParameters(command("ChangeMIDIChannel"), store).empty());
}

TEST_F(BatchParameters, TheFixButtonFollowsTheFourFixSwitches) {
  ASSERT_EQ(store.setObject("fixExtension", false), sw::noErr);
  ASSERT_EQ(sw::settingDidChange(store, "fixExtension"), sw::noErr);
  EXPECT_FALSE(store.boolForKey("enableFixButton"));
  ASSERT_EQ(store.setObject("fixBadDeltaTime", true), sw::noErr);
  ASSERT_EQ(sw::settingDidChange(store, "fixBadDeltaTime"), sw::noErr);
  EXPECT_TRUE(store.boolForKey("enableFixButton"));

  // A saved preset applied to the settings moves it too.
  ASSERT_EQ(store.setRunValue("fixBadDeltaTime", false), sw::noErr);
  ASSERT_EQ(sw::saveBatchPreset(command("Fix"), "nothing", store), sw::noErr);
  store.removeRunValue("fixBadDeltaTime");
  ASSERT_EQ(sw::applyBatchPreset(command("Fix"), "nothing", sw::PresetScope::Saved, store), sw::noErr);
  EXPECT_FALSE(store.boolForKey("enableFixButton"));
}

}  // namespace
