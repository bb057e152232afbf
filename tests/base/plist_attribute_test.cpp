// Property-list values in extended attributes: round trips, the errors of the attribute
// calls, and damaged or hostile property lists that must be refused without crashing.
#include "base/plist_attribute.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "base/log.h"
#include "base/xattr.h"
#include "temp_dir.h"

namespace {

using sw::SettingValue;
using Bytes = std::vector<unsigned char>;

// A binary property list from objects given as raw bytes (1-byte references, 2-byte offsets).
Bytes binaryList(const std::vector<Bytes>& objects) {
  Bytes out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
  std::vector<size_t> offsets;
  for (const Bytes& object : objects) {
    offsets.push_back(out.size());
    out.insert(out.end(), object.begin(), object.end());
  }
  const size_t table = out.size();
  for (size_t offset : offsets) out.push_back(uint8_t(offset >> 8)), out.push_back(uint8_t(offset));
  Bytes trailer(32, 0);
  trailer[6] = 2;
  trailer[7] = 1;
  trailer[15] = uint8_t(objects.size());
  trailer[14] = uint8_t(objects.size() >> 8);
  trailer[31] = uint8_t(table);
  trailer[30] = uint8_t(table >> 8);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

// Arrays nested `depth` deep around `false`.
Bytes nestedArrays(int depth) {
  std::vector<Bytes> objects;
  for (int i = 0; i < depth; ++i) objects.push_back({0xA1, uint8_t(i + 1)});
  objects.push_back({0x08});
  return binaryList(objects);
}

bool decodes(const Bytes& bytes) { return sw::decodePlist(bytes.data(), bytes.size()).has_value(); }

TEST(PlistAttribute, RoundTripsEveryKindOfValue) {
  swtest::TempDir dir;
  const std::string path = dir.write("song.mid", {'x'});
  SettingValue::Dictionary frame{{"x", 12}, {"y", -40}, {"zoom", 1.5}, {"shown", true},
                                 {"title", "Fr\xC3\xA8re Jacques"},
                                 {"columns", SettingValue::Array{"ticks", "track", SettingValue::Array{}}}};
  const SettingValue value(frame);
  ASSERT_FALSE(sw::setAttributeValue(path, "com.tessary.scorewell.windowFrame", &value));
  EXPECT_EQ(sw::attributeValue(path, "com.tessary.scorewell.windowFrame"), value);
  EXPECT_TRUE(sw::hasAttribute(path, "com.tessary.scorewell.windowFrame"));

  ASSERT_EQ(sw::writeNumberAttribute(path, "com.tessary.encoding", 0x0A01), sw::noErr);
  EXPECT_EQ(sw::readNumberAttribute(path, "com.tessary.encoding"), 0x0A01);
  auto all = sw::attributeValues(path);
  ASSERT_TRUE(all);
  EXPECT_EQ(all->size(), 2u);

  // A null value removes; removing what is not there succeeds; a missing one reads as ENODATA.
  EXPECT_FALSE(sw::setAttributeValue(path, "com.tessary.encoding", nullptr));
  EXPECT_FALSE(sw::removeAttribute(path, "com.tessary.encoding"));
  sw::Error error;
  EXPECT_FALSE(sw::attributeValue(path, "com.tessary.encoding", &error));
  EXPECT_EQ(error.code, ENODATA);
  EXPECT_EQ(error.subject, "com.tessary.encoding");
  EXPECT_EQ(error.path, path);
  EXPECT_EQ(error.toString(), path + ": com.tessary.encoding: No such attribute [" + std::to_string(error.status) + "]");
  EXPECT_FALSE(sw::hasAttribute(path, "com.tessary.encoding"));

  // The text form is read as well.
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>a</key><integer>7</integer>"
      "</dict></plist>";
  ASSERT_FALSE(sw::setAttributeData(path, "xml", Bytes(xml.begin(), xml.end())));
  EXPECT_EQ(sw::attributeValue(path, "xml"), SettingValue(SettingValue::Dictionary{{"a", 7}}));
}

TEST(PlistAttribute, Errors) {
  swtest::TempDir dir;
  const std::string path = dir.write("song.mid", {'x'});
  sw::Error error = sw::setAttributeValue(path, "", nullptr);
  EXPECT_TRUE(error);
  EXPECT_EQ(error.message, "extended attribute name cannot be empty");
  EXPECT_FALSE(sw::hasAttribute(path, ""));

  const SettingValue badText(std::string("caf\xE9"));  // not UTF-8
  error = sw::setAttributeValue(path, "bad", &badText);
  EXPECT_EQ(error.code, sw::kPlistValueNotSerializable);
  EXPECT_EQ(error.message, "Value of class string cannot be serialized into a plist");
  EXPECT_FALSE(sw::hasAttribute(path, "bad"));

  const SettingValue one(1);
  error = sw::setAttributeValue(path, std::string(300, 'n'), &one);  // beyond the system's limit
  EXPECT_TRUE(error);
  EXPECT_NE(error.status, sw::noErr);

  // One failing attribute among several: the others are set, the failures gathered.
  error = sw::setAttributeValues(path, {{"good", 1}, {"bad", badText}});
  EXPECT_EQ(error.code, sw::kPlistSetAttributesFailed);
  ASSERT_EQ(error.underlying.size(), 1u);
  EXPECT_EQ(error.underlying[0].subject, "bad");
  EXPECT_EQ(sw::attributeValue(path, "good"), SettingValue(1));
  ASSERT_FALSE(sw::setAttributeData(path, "junk", Bytes{'n', 'o', 'p', 'e'}));
  EXPECT_FALSE(sw::attributeValues(path, &error));
  EXPECT_EQ(error.code, sw::kPlistGetAttributesFailed);
  EXPECT_EQ(error.path, path);
  ASSERT_EQ(error.underlying.size(), 1u);
  EXPECT_EQ(error.underlying[0].subject, "junk");

  EXPECT_FALSE(sw::attributeValue(dir.file("none.mid"), "good", &error));
  EXPECT_EQ(error.status, sw::fnfErr);
}

TEST(PlistAttribute, HostileListsAreRefused) {
  EXPECT_TRUE(decodes(nestedArrays(8)));
  EXPECT_FALSE(decodes(nestedArrays(sw::kMaxPlistDepth + 8)));
  EXPECT_FALSE(decodes(binaryList({{0xA1, 0x00}})));  // an array holding itself
  // Each level refers twice to the next: small on disk, billions of nodes once copied out.
  std::vector<Bytes> doubling;
  for (int i = 0; i < 30; ++i) doubling.push_back({0xA2, uint8_t(i + 1), uint8_t(i + 1)});
  doubling.push_back({0x09});
  EXPECT_FALSE(decodes(binaryList(doubling)));
  // A key holding a NUL (the library would abort on reading it).
  EXPECT_FALSE(decodes(binaryList({{0xD1, 0x01, 0x02}, {0x53, 'a', 0x00, 'b'}, {0x09}})));
  EXPECT_TRUE(decodes(binaryList({{0xD1, 0x01, 0x02}, {0x53, 'a', 'x', 'b'}, {0x09}})));
  std::string deepXml = "<plist version=\"1.0\">";
  for (int i = 0; i < 2000; ++i) deepXml += "<array>";
  EXPECT_FALSE(decodes(Bytes(deepXml.begin(), deepXml.end())));
  const std::string nulKey = "<plist version=\"1.0\"><dict><key>a&#0;b</key><true/></dict></plist>";
  EXPECT_FALSE(decodes(Bytes(nulKey.begin(), nulKey.end())));
  EXPECT_FALSE(decodes(Bytes(sw::kMaxPlistAttributeSize + 1, ' ')));

  // Every cut and many damaged bytes of a real list decode cleanly or not at all.
  const SettingValue value(SettingValue::Dictionary{
      {"name", "x"}, {"list", SettingValue::Array{1, 2.5, true, "\xC3\xA9t\xC3\xA9"}}, {"n", 1 << 20}});
  auto encoded = sw::encodePlist(value);
  ASSERT_TRUE(encoded);
  EXPECT_EQ(sw::decodePlist(encoded->data(), encoded->size()), value);
  for (size_t size = 0; size < encoded->size(); ++size) sw::decodePlist(encoded->data(), size);
  for (size_t i = 0; i < encoded->size(); ++i)
    for (unsigned char byte : {0x00, 0x0F, 0x5F, 0x7F, 0xA5, 0xD3, 0xFF}) {
      Bytes damaged = *encoded;
      damaged[i] = byte;
      sw::decodePlist(damaged.data(), damaged.size());
    }
}

}  // namespace
