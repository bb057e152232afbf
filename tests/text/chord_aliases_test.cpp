#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/log.h"
#include "temp_dir.h"
#include "text/chord_aliases.h"
#include "text/xf_chord_manager.h"

namespace sw {
namespace {

using swtest::TempDir;

std::string toString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::vector<uint8_t> toBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string xmlArray(const std::vector<std::string>& items) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<array>\n";
  for (const auto& item : items) xml += item.empty() ? "\t<string></string>\n" : "\t<string>" + item + "</string>\n";
  return xml + "</array>\n</plist>\n";
}

ChordAliasDefinitions numbered(size_t count) {
  ChordAliasDefinitions list;
  for (size_t i = 0; i < count; ++i) list.push_back("alias" + std::to_string(i));
  return list;
}

class ChordAliasesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setLogSink([this](const std::string& line) { log_.push_back(line); });
  }
  void TearDown() override { setLogSink(previous_); }

  TempDir dir_;
  std::vector<std::string> log_;
  LogSink previous_;
};

TEST_F(ChordAliasesTest, XMLAndBinaryRoundTrip) {
  ChordAliasDefinitions definitions = defaultChordAliasDefinitions();
  definitions[3] = "";
  definitions[5] = "caf\xC3\xA9 <&> \"q\" \xF0\x9F\x8E\xB5";
  for (PlistFormat format : {PlistFormat::XML, PlistFormat::Binary}) {
    std::string path = dir_.file(format == PlistFormat::XML ? "a.xgdef" : "b.xgdef");
    ASSERT_FALSE(writeChordAliasDefinitions(path, definitions, format));
    std::string head = toString(TempDir::read(path)).substr(0, 8);
    EXPECT_EQ(head, format == PlistFormat::XML ? "<?xml ve" : "bplist00");
    ChordAliasReadResult result = readChordAliasDefinitions(path);
    EXPECT_FALSE(result.error) << result.error.toString();
    EXPECT_FALSE(result.warning) << result.warning.toString();
    EXPECT_EQ(result.definitions, definitions);
  }
}

TEST_F(ChordAliasesTest, ReadsTheOtherPlatformsXML) {
  std::vector<std::string> items = numbered(34);
  items[1] = "m7 &amp; -7";
  ChordAliasReadResult result = parseChordAliasDefinitions(xmlArray(items));
  ASSERT_FALSE(result.error);
  EXPECT_EQ(result.definitions[1], "m7 & -7");
  EXPECT_EQ(result.definitions[33], "alias33");
}

TEST_F(ChordAliasesTest, BadFiles) {
  EXPECT_EQ(readChordAliasDefinitions(dir_.file("missing")).error.status, fnfErr);
  EXPECT_EQ(readChordAliasDefinitions(dir_.write("empty", {})).error.status, eofErr);
  EXPECT_EQ(readChordAliasDefinitions(dir_.path()).error.status != noErr, true);  // a folder

  std::string xml = xmlArray(numbered(34));
  std::string binary;
  ASSERT_EQ(serializeChordAliasDefinitions(numbered(34), PlistFormat::Binary, binary), noErr);
  const std::string wrong[] = {
      "not a property list at all",
      std::string("\x00\x01\x02\x03", 4),
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><string>b</string></dict></plist>",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>m7</string></plist>",
      xml.substr(0, xml.size() / 2),
      binary.substr(0, 8),
      binary.substr(0, binary.size() - 1),
  };
  for (const auto& bytes : wrong) {
    ChordAliasReadResult result = parseChordAliasDefinitions(bytes);
    EXPECT_EQ(result.error.status, paramErr) << bytes.substr(0, 30);
    EXPECT_FALSE(result.error.message.empty());
    EXPECT_EQ(result.definitions, ChordAliasDefinitions(34, ""));
  }
  // Any cut or damaged byte of a list either fails cleanly or yields a full list.
  for (const std::string& good : {binary, xml}) {
    for (size_t size = 1; size < good.size(); ++size)
      EXPECT_EQ(parseChordAliasDefinitions(good.substr(0, size)).definitions.size(), 34u);
    for (size_t i = 0; i < good.size(); ++i)
      for (char value : {'\x00', '\x7F', '\xFF', '<'}) {
        std::string damaged = good;
        damaged[i] = value;
        EXPECT_EQ(parseChordAliasDefinitions(damaged).definitions.size(), 34u);
      }
  }
}

TEST_F(ChordAliasesTest, OversizedAndDeeplyNestedFiles) {
  // Deep nesting would exhaust the parser's stack; such files are refused by size first.
  std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
  while (deep.size() < 64 * 1024 - 7) deep += "<array>";
  ChordAliasReadResult nested = parseChordAliasDefinitions(deep);
  EXPECT_EQ(nested.error.status, paramErr);
  deep += std::string(600000, ' ');
  for (int i = 0; i < 100000; ++i) deep += "<array>";
  ChordAliasReadResult large = parseChordAliasDefinitions(deep);
  EXPECT_EQ(large.error.status, paramErr);
  EXPECT_NE(large.error.message.find("too large"), std::string::npos);
}

TEST_F(ChordAliasesTest, WrongEntryCountsAndTypes) {
  ChordAliasReadResult fewer = parseChordAliasDefinitions(xmlArray({"a", "b", "c"}));
  ASSERT_FALSE(fewer.error);
  EXPECT_NE(fewer.warning.message.find("3 entries"), std::string::npos);
  ASSERT_EQ(fewer.definitions.size(), 34u);
  EXPECT_EQ(fewer.definitions[2], "c");
  EXPECT_EQ(fewer.definitions[3], "");

  ChordAliasReadResult more = parseChordAliasDefinitions(xmlArray(numbered(40)));
  ASSERT_FALSE(more.error);
  EXPECT_NE(more.warning.message.find("40 entries"), std::string::npos);
  EXPECT_EQ(more.definitions, numbered(34));
  const std::string fewerText = xmlArray({"a"});
  const std::string fewerPath = dir_.write("fewer.xgdef", std::vector<uint8_t>(fewerText.begin(), fewerText.end()));
  ChordAliasReadResult fromFile = readChordAliasDefinitions(fewerPath);
  ASSERT_FALSE(fromFile.error);
  EXPECT_EQ(fromFile.warning.status, paramErr);
  EXPECT_EQ(fromFile.warning.path, fewerPath);

  std::string mixed = xmlArray(numbered(34));
  mixed.replace(mixed.find("<string>alias2</string>"), 23, "<integer>7</integer>");
  ChordAliasReadResult result = parseChordAliasDefinitions(mixed);
  ASSERT_FALSE(result.error);
  EXPECT_EQ(result.definitions[2], "");
  EXPECT_EQ(result.definitions[3], "alias3");
  EXPECT_NE(result.warning.message.find("1 entries"), std::string::npos);
}

TEST_F(ChordAliasesTest, RefusesTextAPropertyListCannotHold) {
  std::string bytes;
  for (const char* text : {"\xC3", "\xED\xA0\x80", "\xC0\xAF", "a\x01", "\xF4\x90\x80\x80"}) {
    ChordAliasDefinitions definitions(34, "");
    definitions[0] = text;
    EXPECT_EQ(serializeChordAliasDefinitions(definitions, PlistFormat::XML, bytes), paramErr);
  }
  EXPECT_TRUE(isPlistText("tab\tline\nbreak\r \xE2\x82\xAC"));
}

// ---- XFChordManager ------------------------------------------------------------------------

TEST_F(ChordAliasesTest, DefaultsAreConsistent) {
  XFChordManager manager(dir_.file("aliases.plist"));
  EXPECT_TRUE(log_.empty());  // a missing file is no error
  EXPECT_TRUE(manager.duplicateAliases().empty());
  ASSERT_EQ(manager.types().size(), 34u);
  // Every shipped alias turns into the XF chord of its own row.
  for (size_t row = 0; row < 34; ++row) {
    const auto& record = manager.types()[row];
    EXPECT_EQ(record.XF, XFChord::types()[row]);
    std::string aliases = record.aliases;
    for (size_t start = 0; start < aliases.size();) {
      size_t end = aliases.find(' ', start);
      std::string alias = aliases.substr(start, end - start);
      start = end == std::string::npos ? aliases.size() : end + 1;
      XFChordError error;
      auto chord = manager.xgChordWithString("D" + alias + "/F#", &error);
      ASSERT_TRUE(chord) << alias << ": " << error.description;
      EXPECT_EQ(chord->control().type, row) << alias;
      EXPECT_EQ(chord->control().root, 0x32);
      EXPECT_EQ(chord->control().bass, 0x44);
    }
  }
}

TEST_F(ChordAliasesTest, ChordsFromFreeText) {
  XFChordManager manager(dir_.file("aliases.plist"));
  XFChordError error;
  auto chord = manager.xgChordWithString("Am7", &error);
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->string(), "Amin7");
  EXPECT_EQ(chord->control(), (XFChordControl{0x36, 0x0A, 0x7F, 0x7F}));
  EXPECT_EQ(manager.xgChordWithString("C# min7", &error)->string(), "C#min7");
  EXPECT_EQ(manager.xgChordWithString("Bb", &error)->string(), "Bb");
  EXPECT_EQ(manager.xgChordWithString("BbMaj", &error)->string(), "Bb");
  EXPECT_EQ(manager.xgChordWithString("C6/9", &error)->string(), "CMaj6(9)");
  EXPECT_EQ(error.description, "");

  EXPECT_FALSE(manager.xgChordWithString("hm7", &error));
  EXPECT_EQ(error.description, "Invalid chord");
  EXPECT_EQ(error.suggestion, "hm7");
  EXPECT_FALSE(manager.xgChordWithString("Cxyz", &error));
  EXPECT_EQ(error.description, "Unknow chord type");
  EXPECT_EQ(error.suggestion, "xyz");
  EXPECT_FALSE(manager.xgChordWithString("", nullptr));
}

TEST_F(ChordAliasesTest, DuplicatesAndEdits) {
  XFChordManager manager(dir_.file("aliases.plist"));
  std::vector<XFChordTypeAliases> list = manager.types();
  for (auto& record : list) record.aliases.clear();
  list[10].aliases = "m7 \n";
  list[13].aliases = "  m7   m9 min7\n";  // m7 again, and a type name
  log_.clear();
  manager.setTypes(list);
  EXPECT_EQ(log_, (std::vector<std::string>{"Duplicate alias: [m7]", "Duplicate alias: [min7]"}));
  EXPECT_EQ(manager.chordsMap().at("m7"), "min7(9)");
  EXPECT_EQ(manager.chordsMap().at("min7"), "min7(9)");
  EXPECT_EQ(manager.chordsMap().at("m9"), "min7(9)");
  EXPECT_EQ(manager.chordsMap().at("Maj"), "Maj");
  EXPECT_EQ(manager.chordsMap().size(), 34u + 2);

  // An edit rebuilds the map at once.
  EXPECT_EQ(manager.setAliases(10, "mi7"), noErr);
  EXPECT_EQ(manager.chordsMap().at("m7"), "min7(9)");
  EXPECT_EQ(manager.chordsMap().at("mi7"), "min7");
  EXPECT_EQ(manager.setAliases(34, "x"), paramErr);
  EXPECT_EQ(manager.setAliases(0, "bad\xFF"), paramErr);
  EXPECT_EQ(manager.types()[0].aliases, "");
}

TEST_F(ChordAliasesTest, UserFilePersistsAcrossRuns) {
  std::string userFile = dir_.file("config/scorewell/aliases.plist");
  {
    XFChordManager manager(userFile);
    ASSERT_EQ(manager.setAliases(10, "m7 zz7"), noErr);
    ASSERT_FALSE(manager.windowWillClose());
  }
  XFChordManager again(userFile);
  EXPECT_EQ(again.types()[10].aliases, "m7 zz7");
  EXPECT_EQ(again.chordsMap().at("zz7"), "min7");
}

TEST_F(ChordAliasesTest, DamagedUserFileFallsBackToDefaults) {
  for (const std::string& content : {std::string(), std::string("<?xml version=\"1.0\"?><plist><arr"),
                                     std::string("bplist00garbage"), xmlArray({})}) {
    std::string userFile = dir_.write("aliases.plist", toBytes(content));
    log_.clear();
    XFChordManager manager(userFile);
    ASSERT_EQ(log_.size(), 1u) << content;
    EXPECT_NE(log_[0].find(userFile), std::string::npos);
    std::vector<std::string> aliases;
    for (const auto& record : manager.types()) aliases.push_back(record.aliases);
    if (content == xmlArray({})) {
      // A well-formed but empty list is taken as the user's (no aliases at all).
      EXPECT_EQ(aliases, ChordAliasDefinitions(34, ""));
    } else {
      EXPECT_EQ(aliases, defaultChordAliasDefinitions());
      EXPECT_TRUE(manager.xgChordWithString("Am7", nullptr));
    }
  }
}

TEST_F(ChordAliasesTest, ImportExportAndRevert) {
  std::string dataHome = dir_.file("data");
  const char* oldDataHome = std::getenv("XDG_DATA_HOME");
  std::string saved = oldDataHome ? oldDataHome : "";
  ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);

  std::string userFile = dir_.file("aliases.plist");
  XFChordManager manager(userFile);
  ASSERT_EQ(manager.setAliases(19, "7 dom7 seven"), noErr);
  std::string exported = dir_.file("XG chords definitions.xgdef");
  ASSERT_FALSE(manager.exportDefinitions(exported, PlistFormat::Binary));

  // A damaged import changes nothing.
  std::string bad = dir_.write("bad.xgdef", toBytes("<plist><array><string>x"));
  ASSERT_EQ(manager.setAliases(19, "other"), noErr);
  Error error = manager.importDefinitions(bad);
  EXPECT_EQ(error.status, paramErr);
  EXPECT_EQ(error.path, bad);
  EXPECT_EQ(manager.types()[19].aliases, "other");
  EXPECT_EQ(manager.importDefinitions(dir_.file("none.xgdef")).status, fnfErr);

  ASSERT_FALSE(manager.importDefinitions(exported));
  EXPECT_EQ(manager.types()[19].aliases, "7 dom7 seven");
  EXPECT_EQ(manager.chordsMap().at("seven"), "7th");

  ASSERT_FALSE(manager.windowWillClose());
  ASSERT_FALSE(manager.revertToDefaults());
  EXPECT_FALSE(std::filesystem::exists(userFile));
  EXPECT_TRUE(std::filesystem::exists(dataHome + "/Trash/files/aliases.plist"));
  std::string info = toString(TempDir::read(dataHome + "/Trash/info/aliases.plist.trashinfo"));
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + userFile + "\nDeletionDate=", 0), 0u) << info;
  EXPECT_EQ(manager.types()[19].aliases, defaultChordAliasDefinitions()[19]);
  // A second revert, with nothing to move, still succeeds; a second trashed copy gets its own name.
  ASSERT_FALSE(manager.revertToDefaults());
  ASSERT_FALSE(manager.windowWillClose());
  ASSERT_FALSE(manager.revertToDefaults());
  EXPECT_TRUE(std::filesystem::exists(dataHome + "/Trash/files/aliases.plist.2"));

  if (oldDataHome)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(ChordAliasesTest, SaveFailureIsReported) {
  XFChordManager manager(dir_.file("aliases.plist"));
  std::string blocker = dir_.write("file", toBytes("x"));
  Error error = manager.saveDefinitions2File(blocker + "/aliases.plist");
  ASSERT_TRUE(error);
  EXPECT_EQ(error.message.rfind("Couldn't save XF Chords definitions!", 0), 0u);
}

}  // namespace
}  // namespace sw
