#include "harness/test_env.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

std::string HostPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

ScratchDir::ScratchDir() {
  static std::atomic<unsigned> counter{0};
  char name[MAX_PATH];
  for (;;) {
    std::snprintf(name, sizeof name, "C:\\scratch-%lu-%u", GetCurrentProcessId(), counter++);
    CreateDirectoryA("C:\\", nullptr);
    if (CreateDirectoryA(name, nullptr)) break;
  }
  path_ = name;
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ForEachFileBelow(const std::string& folder,
                      const std::function<void(const std::string&, const WIN32_FIND_DATAA&)>& visit) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ForEachFileBelow(path, visit);
    } else {
      visit(path, found);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(path.c_str());
}

std::string JournalLine(const std::string& fields) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : fields) {
    hash ^= c;
    hash *= 16777619u;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(hash));
  return fields + "\t#" + text + "\r\n";
}
