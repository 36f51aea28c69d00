// The host file operations in fa2.exe, over the ANSI Win32 functions: paths
// and names are CP932 bytes as the system gives them.
#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archive/archive_names.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"

namespace {

int FailWithLastError(std::string* error) {
  const DWORD code = GetLastError();
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  if (n == 0) n = static_cast<DWORD>(std::snprintf(text, sizeof text, "error %lu", code));
  error->assign(text, n);
  return 0;
}

int FailWithErrno(std::string* error) {
  *error = std::strerror(errno);
  return 0;
}

uint64_t FromFileTime(const FILETIME& ft) {
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

// Position just after the last folder separator, or 0. The second byte of a
// double-byte character is never a separator.
size_t AfterLastSeparator(const std::string& path) {
  size_t after = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      after = i + 1;
    }
  }
  return after;
}

}  // namespace

int StatHostFile(const std::string& path, HostFileInfo* info, std::string* error) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return FailWithLastError(error);
  info->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->isRegular = !info->isDirectory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
  info->size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  info->lastWrite = FromFileTime(data.ftLastWriteTime);
  return 1;
}

int ListFolderFiles(const std::string& folder, std::vector<std::string>* names,
                    std::string* error, std::vector<std::string>* skipped) {
  WIN32_FIND_DATAA item;
  HANDLE find = FindFirstFileA(JoinHostPath(folder, "*").c_str(), &item);
  if (find == INVALID_HANDLE_VALUE) return FailWithLastError(error);
  names->clear();
  if (skipped) skipped->clear();
  do {
    const std::string name = item.cFileName;
    if ((item.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0)
      names->push_back(name);
    else if (skipped && name != "." && name != "..")
      skipped->push_back(name);
  } while (FindNextFileA(find, &item));
  const DWORD last = GetLastError();
  FindClose(find);
  if (last != ERROR_NO_MORE_FILES) {
    SetLastError(last);
    return FailWithLastError(error);
  }
  std::sort(names->begin(), names->end());
  if (skipped) std::sort(skipped->begin(), skipped->end());
  return 1;
}

int ReadHostFile(const std::string& path, uint64_t maxSize, std::vector<uint8_t>* data,
                 std::string* error) {
  FILE* file = OpenHostFile(path, "rb", error);
  if (file == nullptr) return 0;
  data->clear();
  size_t have = 0;
  for (;;) {
    if (have > maxSize) break;
    data->resize(have + (have < (1u << 20) ? 65536 : have));
    const size_t n = std::fread(data->data() + have, 1, data->size() - have, file);
    have += n;
    if (n == 0 || have < data->size()) {
      if (std::ferror(file)) {
        FailWithErrno(error);
        std::fclose(file);
        return 0;
      }
      if (std::feof(file)) break;
    }
  }
  std::fclose(file);
  data->resize(have);
  if (have > maxSize) {
    *error = "file is too large";
    return 0;
  }
  return 1;
}

int MapHostFile(const std::string& path, uint64_t maxSize, HostFileView* view,
                std::string* error) {
  UnmapHostFile(view);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailWithLastError(error);
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    if (!ReadHostFile(path, maxSize, &view->copy, error)) return 0;
    view->data = view->copy.data();
    view->size = view->copy.size();
    return 1;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    FailWithLastError(error);
    CloseHandle(file);
    return 0;
  }
  if (static_cast<uint64_t>(size.QuadPart) > maxSize) {
    CloseHandle(file);
    *error = "file is too large";
    return 0;
  }
  if (size.QuadPart == 0) {  // an empty file cannot be mapped
    CloseHandle(file);
    return 1;
  }
  // The view keeps the mapping and the file open by itself.
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void* bytes = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (bytes == nullptr) FailWithLastError(error);
  if (mapping) CloseHandle(mapping);
  CloseHandle(file);
  if (bytes == nullptr) return 0;
  view->mapping = bytes;
  view->data = static_cast<const uint8_t*>(bytes);
  view->size = static_cast<size_t>(size.QuadPart);
  return 1;
}

void UnmapHostFile(HostFileView* view) {
  if (view->mapping != nullptr) UnmapViewOfFile(view->mapping);
  view->mapping = nullptr;
  view->data = nullptr;
  view->size = 0;
  view->copy.clear();
}

HostFileView::~HostFileView() { UnmapHostFile(this); }

int AllocateHostBuffer(size_t size, HostBuffer* buffer) {
  if (buffer->data != nullptr) VirtualFree(buffer->data, 0, MEM_RELEASE);
  buffer->data = nullptr;
  buffer->size = 0;
  if (size == 0) return 1;
  void* const memory = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (memory == nullptr) return 0;
  buffer->data = static_cast<uint8_t*>(memory);
  buffer->size = size;
  return 1;
}

HostBuffer::~HostBuffer() {
  if (data != nullptr) VirtualFree(data, 0, MEM_RELEASE);
}

int SetHostFileTime(const std::string& path, uint64_t fileTime, std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailWithLastError(error);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  const BOOL ok = SetFileTime(file, nullptr, nullptr, &ft);
  if (!ok) FailWithLastError(error);
  CloseHandle(file);
  return ok ? 1 : 0;
}

int MakeHostFolder(const std::string& folder, std::string* error) {
  if (CreateDirectoryA(folder.c_str(), nullptr)) return 1;
  const DWORD code = GetLastError();
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (code == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return 1;
  SetLastError(code);
  return FailWithLastError(error);
}

int ReplaceHostFile(const std::string& from, const std::string& to, std::string* error) {
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
    return FailWithLastError(error);
  return 1;
}

void RemoveHostFile(const std::string& path) { DeleteFileA(path.c_str()); }

std::string JoinHostPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (AfterLastSeparator(folder) == folder.size()) return folder + name;
  return folder + "\\" + name;
}

std::string HostBaseName(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && AfterLastSeparator(trimmed) == trimmed.size() &&
         trimmed.back() != ':')
    trimmed.pop_back();
  return trimmed.substr(AfterLastSeparator(trimmed));
}

uint64_t SteadyMilliseconds() { return GetTickCount64(); }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

std::string ExecutablePath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

