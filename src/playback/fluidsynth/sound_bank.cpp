#include "playback/fluidsynth/sound_bank.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace sw {

namespace fs = std::filesystem;

namespace {

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool validUTF8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = text[i];
    const size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
    if (extra == 9 || i + extra >= text.size() + (extra == 0)) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

std::string latin1ToUTF8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string homeDirectory() {
  if (passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir) return entry->pw_dir;
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

bool isBankFile(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
  return extension == ".sf2" || extension == ".sf3";
}

}  // namespace

OSStatus soundBankName(const std::string& path, std::string* name) {
  std::error_code error;
  if (!fs::exists(path, error)) return fnfErr;
  std::ifstream file(path, std::ios::binary);
  if (!file) return ioErr;
  // The INFO list comes first; a 64 KB header is plenty for it.
  std::vector<uint8_t> head(65536);
  file.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
  head.resize(size_t(file.gcount()));
  if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "sfbk", 4) != 0)
    return paramErr;
  size_t position = 12;
  while (position + 8 <= head.size()) {
    const uint8_t* chunk = head.data() + position;
    const uint64_t size = le32(chunk + 4);
    if (std::memcmp(chunk, "LIST", 4) == 0 && position + 12 <= head.size() && std::memcmp(chunk + 8, "INFO", 4) == 0) {
      const size_t end = size_t(std::min<uint64_t>(position + 8 + size, head.size()));
      size_t sub = position + 12;
      while (sub + 8 <= end) {
        const uint8_t* record = head.data() + sub;
        const uint64_t length = le32(record + 4);
        if (std::memcmp(record, "INAM", 4) == 0) {
          const size_t available = size_t(std::min<uint64_t>(length, end - sub - 8));
          std::string text(reinterpret_cast<const char*>(record + 8), available);
          text = text.substr(0, text.find('\0'));
          while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
          if (text.empty()) return paramErr;
          if (!validUTF8(text)) text = latin1ToUTF8(text);
          if (name) *name = text;
          return noErr;
        }
        sub += 8 + size_t(std::min<uint64_t>(length + (length & 1), end));
      }
      return paramErr;
    }
    position += 8 + size_t(std::min<uint64_t>(size + (size & 1), head.size()));
  }
  return paramErr;
}

std::vector<std::string> soundBankFolders() {
  std::vector<std::string> folders{"/usr/share/sounds/sf2", "/usr/share/soundfonts"};
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') folders.push_back(std::string(data) + "/soundfonts");
  const std::string home = homeDirectory();
  if (!home.empty()) folders.push_back(home + "/.local/share/soundfonts");
  std::vector<std::string> unique;
  for (const std::string& folder : folders) {
    std::string normal = fs::path(folder).lexically_normal().string();
    if (std::find(unique.begin(), unique.end(), normal) == unique.end()) unique.push_back(normal);
  }
  return unique;
}

std::vector<SoundBankEntry> findSoundBanks(const std::vector<std::string>& folders) {
  std::vector<SoundBankEntry> banks;
  for (const std::string& folder : folders) {
    std::vector<fs::path> files;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
    for (; !error && it != end; it.increment(error)) {
      if (it.depth() > 16) {
        it.disable_recursion_pending();
        continue;
      }
      std::error_code statError;
      if (isBankFile(it->path()) && it->is_regular_file(statError)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      SoundBankEntry entry;
      entry.path = file.string();
      if (soundBankName(entry.path, &entry.name) != noErr) entry.name = file.stem().string();
      banks.push_back(std::move(entry));
    }
  }
  return banks;
}

std::string defaultSoundBankPath() {
  for (const char* name : {"default-GM.sf2", "FluidR3_GM.sf2", "FluidR3_GM.sf3", "TimGM6mb.sf2"}) {
    std::error_code error;
    fs::path path = fs::path("/usr/share/sounds/sf2") / name;
    if (fs::is_regular_file(path, error)) return path.string();
  }
  std::vector<SoundBankEntry> banks = findSoundBanks(soundBankFolders());
  return banks.empty() ? std::string() : banks.front().path;
}

}  // namespace sw
