// Small helpers for tests that run under wine: host paths, scratch folders
// and whole-file reads and writes.
#ifndef HARNESS_TEST_ENV_H
#define HARNESS_TEST_ENV_H

#include <string>

// A path of the Linux host as wine sees it: "/a/b" -> "Z:\a\b".
std::string HostPath(const std::string& unixPath);

// A fresh, uniquely named folder on drive C: that is removed with everything
// in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

bool WriteBytes(const std::string& path, const std::string& bytes);
// The whole file, or an empty string when it cannot be read.
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// Removes a folder and everything below it.
void RemoveTree(const std::string& path);

#endif
