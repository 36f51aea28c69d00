#include "installed_game.h"

#include <cstdint>
#include <cstdio>

#include "harness/test_env.h"

std::string Utf8(const std::string& cp932) {
  int wide = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), w.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
  for (char& c : out) {
    if (c == '\r') c = '|';
  }
  return out;
}

std::string WinePath(const std::string& path) {
  return !path.empty() && path[0] == '/' ? HostPath(path) : path;
}

namespace {

void CopyTree(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyTree(from + "\\" + name, to + "\\" + name);
    } else {
      CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// When the game was installed: 2020-04-01 12:00 UTC.
constexpr uint64_t kInstallTime = 0x01D6081D11D12000ull;

void SetInstallTimes(const std::string& folder) {
  ForEachFileBelow(folder, [](const std::string& path, const WIN32_FIND_DATAA&) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    FILETIME time = {static_cast<DWORD>(kInstallTime), static_cast<DWORD>(kInstallTime >> 32)};
    SetFileTime(file, &time, nullptr, &time);
    CloseHandle(file);
  });
}

std::string IniValue(const std::string& file, const char* key) {
  char value[MAX_PATH] = {};
  GetPrivateProfileStringA("SETUP", key, "", value, sizeof value, file.c_str());
  return value;
}

}  // namespace

bool InstallGameFromFolder(const std::string& game, DWORD instMode, std::string* installedOut) {
  std::string setupIni = game + "\\SETUP.INI";
  std::string company = IniValue(setupIni, "CompanyName");
  std::string gameDir = IniValue(setupIni, "GameDir");
  if (company.empty() || gameDir.empty()) {
    std::fprintf(stderr, "install: %s has no CompanyName or GameDir\n", setupIni.c_str());
    return false;
  }
  CreateDirectoryA("C:\\Games", nullptr);
  std::string installed = "C:\\Games\\" + gameDir;
  RemoveTree(installed);
  CopyTree(game, installed);
  CreateDirectoryA((installed + "\\save").c_str(), nullptr);
  SetInstallTimes(installed);

  std::string key = "Software\\" + company + "\\" + gameDir;
  HKEY record;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &record, nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "install: cannot write the install record\n");
    return false;
  }
  std::string dataPath = installed + "\\save";
  RegSetValueExA(record, "InstPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(installed.c_str()),
                 static_cast<DWORD>(installed.size() + 1));
  RegSetValueExA(record, "DataPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dataPath.c_str()),
                 static_cast<DWORD>(dataPath.size() + 1));
  RegSetValueExA(record, "InstMode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&instMode),
                 sizeof instMode);
  RegCloseKey(record);
  std::printf("installed %s at %s (InstMode %lu)\n", Utf8(gameDir).c_str(),
              Utf8(installed).c_str(), static_cast<unsigned long>(instMode));
  *installedOut = installed;
  return true;
}
