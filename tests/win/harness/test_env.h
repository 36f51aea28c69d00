// Small helpers for tests that run under wine: host paths, scratch folders
// and whole-file reads and writes.
#ifndef HARNESS_TEST_ENV_H
#define HARNESS_TEST_ENV_H

#include <windows.h>

#include <functional>
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
// Calls visit with the path and find data of every file below folder, sub-
// folders included; folders themselves are not visited.
void ForEachFileBelow(const std::string& folder,
                      const std::function<void(const std::string&, const WIN32_FIND_DATAA&)>& visit);
// Removes a folder and everything below it.
void RemoveTree(const std::string& path);

// One line of an update journal as a run writes it: the fields (tab
// separated), a tab, '#', the FNV-1a hash of the fields in hex, CR LF.
std::string JournalLine(const std::string& fields);

#endif
