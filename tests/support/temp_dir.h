// A temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swtest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to a file in the folder and returns its path.
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  static std::vector<uint8_t> read(const std::string& path);

 private:
  std::string path_;
};

}  // namespace swtest
