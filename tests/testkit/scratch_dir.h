// A fresh folder under the prefix's temporary directory, removed with all its
// contents when the owner goes away. Tests put their files here.
#pragma once
#include <string>

namespace testkit {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::wstring& path() const { return path_; }
  // path() + "\\" + name
  std::wstring File(const std::wstring& name) const;

 private:
  std::wstring path_;
};

// Writes bytes to a file, replacing it; returns false on any failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Reads a whole file; returns false when it cannot be opened or read.
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool FileExists(const std::wstring& path);

}  // namespace testkit
