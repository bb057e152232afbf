#include "text/encoding_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "text/encoding_pop_up.h"

using namespace sw;
using swtest::TempDir;

namespace {

class EncodingManagerTest : public ::testing::Test {
 protected:
  EncodingManagerTest() : store(dir.file("settings.plist")) {
    token = center.addObserver(EncodingManager::kEncodingsListChangedNotification,
                               [this](const std::string&, const NotificationCenter::UserInfo&) { ++posts; });
  }
  ~EncodingManagerTest() override { center.removeObserver(token); }

  std::vector<StringEncoding> storedList() {
    std::vector<StringEncoding> list;
    for (const SettingValue& v : SettingsStore(store.path()).arrayForKey("Encodings"))
      list.push_back(StringEncoding(v.integerValue()));
    return list;
  }
  std::vector<StringEncoding> checkedBoxes(const EncodingManager& manager) {
    std::vector<StringEncoding> list;
    for (const auto& box : manager.encodingMatrix())
      if (box.checked) list.push_back(box.encoding);
    return list;
  }

  TempDir dir;
  SettingsStore store;
  NotificationCenter center;
  NotificationCenter::Token token = 0;
  std::atomic<int> posts = 0;
};

const std::vector<StringEncoding> kDefaultList = {kDOSLatinUSStringEncoding, kUTF8StringEncoding,
                                                  kISOLatin1StringEncoding, kMacOSRomanStringEncoding};

}  // namespace

TEST_F(EncodingManagerTest, FirstRunShowsTheBuiltInListByName) {
  EncodingManager manager(store, center);
  EXPECT_EQ(manager.enabledEncodings(), kDefaultList);
  EXPECT_EQ(checkedBoxes(manager), kDefaultList);
  // Reading the default stores the factory value; reading the list stores nothing.
  EXPECT_FALSE(store.objectForKey("Encodings"));
  EXPECT_EQ(manager.storedDefaultEncoding(), kISOLatin1StringEncoding);
  EXPECT_FALSE(store.objectForKey("EncodingManagerDefaultEncodingKey"));
  EXPECT_EQ(manager.defaultEncoding(), kISOLatin1StringEncoding);
  EXPECT_EQ(SettingsStore(store.path()).integerForKey("EncodingManagerDefaultEncodingKey"), 5);
  EXPECT_EQ(posts, 0);
}

TEST_F(EncodingManagerTest, AvailableEncodingsLeaveOutUTF16AndUTF32AndAreSorted) {
  const auto& available = EncodingManager::allAvailableStringEncodings();
  EXPECT_NE(std::find(available.begin(), available.end(), kUTF8StringEncoding), available.end());
  EXPECT_NE(std::find(available.begin(), available.end(), kShiftJISStringEncoding), available.end());
  for (StringEncoding e : available) EXPECT_TRUE(is8BitEncoding(e)) << std::hex << e;
  std::vector<StringEncoding> sorted = available;
  sortEncodingsByName(sorted);
  EXPECT_EQ(sorted, available);
}

TEST_F(EncodingManagerTest, TheDefaultEncodingIsAlwaysInTheList) {
  store.setObject("Encodings", SettingValue::Array{4});
  store.setInteger("EncodingManagerDefaultEncodingKey", kShiftJISStringEncoding);
  EncodingManager manager(store, center);
  EXPECT_EQ(manager.enabledEncodings(), (std::vector<StringEncoding>{kShiftJISStringEncoding, kUTF8StringEncoding}));

  // A new default that is not listed joins the list and every pop-up hears of it.
  EXPECT_EQ(manager.setDefaultEncoding(kKOI8RStringEncoding), noErr);
  EXPECT_TRUE(manager.isEncodingEnabled(kKOI8RStringEncoding));
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(manager.setDefaultEncoding(kUTF8StringEncoding), noErr);  // already listed
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(manager.setDefaultEncoding(kNoEncoding), paramErr);
  EXPECT_EQ(manager.defaultEncoding(), kUTF8StringEncoding);

  // Unchecking the default encoding's box does not take it out.
  manager.setEncodingChecked(kUTF8StringEncoding, false);
  EXPECT_TRUE(manager.isEncodingEnabled(kUTF8StringEncoding));
  manager.clearAll();
  EXPECT_EQ(manager.enabledEncodings(), std::vector<StringEncoding>{kUTF8StringEncoding});
  EXPECT_EQ(checkedBoxes(manager), std::vector<StringEncoding>{kUTF8StringEncoding});
}

TEST_F(EncodingManagerTest, DamagedStoredValuesAreLeftOut) {
  store.setObject("Encodings", SettingValue::Array{30, "junk", 30, -4, int64_t(1) << 40, int64_t(kNoEncoding), 12345,
                                                   SettingValue::Array{4}, int64_t(kKOI8RStringEncoding)});
  store.setString("EncodingManagerDefaultEncodingKey", "not a number");
  EncodingManager manager(store, center);
  EXPECT_EQ(manager.enabledEncodings(), (std::vector<StringEncoding>{kKOI8RStringEncoding, kISOLatin1StringEncoding,
                                                                     kMacOSRomanStringEncoding}));
  EXPECT_EQ(manager.defaultEncoding(), kISOLatin1StringEncoding);
  EXPECT_EQ(store.integerForKey("EncodingManagerDefaultEncodingKey"), 5);

  // A stored list of the wrong type counts as no list.
  store.setString("Encodings", "4,5");
  EncodingManager second(store, center);
  EXPECT_EQ(second.enabledEncodings(), kDefaultList);
}

TEST_F(EncodingManagerTest, CheckBoxesChangeStoreAndPost) {
  EncodingManager manager(store, center);
  manager.setEncodingChecked(kKOI8RStringEncoding, true);
  EXPECT_EQ(posts, 1);
  EXPECT_TRUE(manager.isEncodingEnabled(kKOI8RStringEncoding));
  std::vector<StringEncoding> expected = kDefaultList;
  expected.insert(expected.begin(), kKOI8RStringEncoding);  // "Cyrillic (KOI8-R)" sorts first
  EXPECT_EQ(manager.enabledEncodings(), expected);
  EXPECT_EQ(storedList(), expected);

  manager.setEncodingChecked(kMacOSRomanStringEncoding, false);
  EXPECT_FALSE(manager.isEncodingEnabled(kMacOSRomanStringEncoding));
  EXPECT_EQ(posts, 2);

  // enableEncoding only acts on an available, unchecked box.
  manager.enableEncoding(kKOI8RStringEncoding);
  manager.enableEncoding(kUTF16LittleEndianStringEncoding);
  manager.enableEncoding(kNoEncoding);
  EXPECT_EQ(posts, 2);
  manager.enableEncoding(kBig5StringEncoding);
  EXPECT_EQ(posts, 3);
  EXPECT_TRUE(manager.isEncodingEnabled(kBig5StringEncoding));

  // A later run sees the same list.
  SettingsStore reread(store.path());
  EncodingManager later(reread, center);
  EXPECT_EQ(later.enabledEncodings(), manager.enabledEncodings());
}

TEST_F(EncodingManagerTest, SelectAllClearAllAndRevert) {
  EncodingManager manager(store, center);
  manager.selectAll();
  EXPECT_EQ(manager.enabledEncodings(), EncodingManager::allAvailableStringEncodings());
  EXPECT_EQ(checkedBoxes(manager), EncodingManager::allAvailableStringEncodings());
  EXPECT_EQ(storedList(), EncodingManager::allAvailableStringEncodings());

  manager.clearAll();
  EXPECT_EQ(manager.enabledEncodings(), std::vector<StringEncoding>{kISOLatin1StringEncoding});
  EXPECT_EQ(storedList(), std::vector<StringEncoding>{kISOLatin1StringEncoding});

  manager.revertToDefault();
  EXPECT_EQ(manager.enabledEncodings(), kDefaultList);
  EXPECT_EQ(checkedBoxes(manager), kDefaultList);
  EXPECT_FALSE(SettingsStore(store.path()).objectForKey("Encodings"));
  EXPECT_EQ(posts, 3);
}

TEST_F(EncodingManagerTest, ObserversMayCallBackIntoTheManager) {
  EncodingManager manager(store, center);
  std::vector<StringEncoding> seen;
  auto t = center.addObserver(EncodingManager::kEncodingsListChangedNotification,
                              [&](const std::string&, const NotificationCenter::UserInfo&) {
                                seen = manager.enabledEncodings();
                              });
  manager.setEncodingChecked(kEUCKRStringEncoding, true);
  center.removeObserver(t);
  EXPECT_TRUE(std::find(seen.begin(), seen.end(), kEUCKRStringEncoding) != seen.end());
}

TEST_F(EncodingManagerTest, PopUpListsEnabledEncodingsThenTheCustomiseItem) {
  EncodingManager manager(store, center);
  int windows = 0;
  EncodingPopUpButton popUp([&] { return manager.storedDefaultEncoding(); }, [&] { ++windows; });
  popUp.observe(manager, center);

  const auto& items = popUp.items();
  ASSERT_EQ(items.size(), kDefaultList.size() + 2);
  for (size_t i = 0; i < kDefaultList.size(); ++i) {
    EXPECT_EQ(items[i].tag, kDefaultList[i]);
    EXPECT_EQ(items[i].title, nameOfEncoding(kDefaultList[i]));
  }
  EXPECT_EQ(items[4].kind, EncodingMenuItem::Kind::Separator);
  EXPECT_EQ(items[5].kind, EncodingMenuItem::Kind::Customize);
  EXPECT_EQ(items[5].title, "CUSTOMIZE_ENCODING_LIST");
  EXPECT_EQ(items[5].tag, kNoEncoding);
  // Nothing was selected, so the default encoding is.
  EXPECT_EQ(popUp.selectedTag(), kISOLatin1StringEncoding);

  // The selection survives a rebuild of the list.
  popUp.selectItemAtIndex(3);
  EXPECT_EQ(popUp.selectedTag(), kMacOSRomanStringEncoding);
  manager.setEncodingChecked(kKOI8RStringEncoding, true);
  EXPECT_EQ(popUp.items().size(), 7u);
  EXPECT_EQ(popUp.selectedTag(), kMacOSRomanStringEncoding);
  EXPECT_EQ(popUp.indexOfSelectedItem(), 4);

  // The customise item and the separator are never the selection.
  popUp.willPopUp();
  popUp.selectItemAtIndex(6);
  popUp.selectItemAtIndex(5);
  popUp.selectItemAtIndex(99);
  popUp.selectItemAtIndex(-1);
  EXPECT_EQ(popUp.indexOfSelectedItem(), 4);
  popUp.showPanel();
  EXPECT_EQ(windows, 1);
  EXPECT_EQ(popUp.indexOfSelectedItem(), 4);

  // When the selected encoding leaves the list, the default one is selected.
  manager.setEncodingChecked(kMacOSRomanStringEncoding, false);
  EXPECT_EQ(popUp.selectedTag(), kISOLatin1StringEncoding);
}

TEST(EncodingPopUp, EmptyListHasOnlyTheCustomiseItem) {
  EncodingPopUpButton popUp({}, {});
  popUp.setupPopUp({});
  ASSERT_EQ(popUp.items().size(), 1u);
  EXPECT_EQ(popUp.items()[0].kind, EncodingMenuItem::Kind::Customize);
  EXPECT_EQ(popUp.indexOfSelectedItem(), -1);
  EXPECT_EQ(popUp.selectedTag(), kNoEncoding);
  popUp.showPanel();  // no window to open: nothing happens
  EXPECT_EQ(popUp.indexOfSelectedItem(), -1);
}
