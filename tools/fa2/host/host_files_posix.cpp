// The host file operations on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "fa2/host/file_time.h"
#include "fa2/host/host_files.h"

namespace {

int Fail(std::string* error) {
  *error = std::strerror(errno);
  return 0;
}

// Opens path for reading and asks its status. Returns the descriptor, or -1
// with *error set.
int OpenForReading(const std::string& path, struct stat* st, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error) - 1;
  if (fstat(fd, st) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return Fail(error) - 1;
  }
  return fd;
}

}  // namespace

int StatHostFile(const std::string& path, HostFileInfo* info, std::string* error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return Fail(error);
  info->isDirectory = S_ISDIR(st.st_mode);
  info->isRegular = S_ISREG(st.st_mode);
  info->size = static_cast<uint64_t>(st.st_size);
  info->lastWrite = FileTimeFromUnix(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
  return 1;
}

int ListFolderFiles(const std::string& folder, std::vector<std::string>* names,
                    std::string* error, std::vector<std::string>* skipped) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return Fail(error);
  names->clear();
  if (skipped) skipped->clear();
  errno = 0;
  while (const dirent* item = readdir(dir)) {
    struct stat st;
    const std::string path = JoinHostPath(folder, item->d_name);
    const std::string name = item->d_name;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      names->push_back(name);
    else if (skipped && name != "." && name != "..")
      skipped->push_back(name);
    errno = 0;
  }
  const int readError = errno;
  closedir(dir);
  if (readError != 0) {
    errno = readError;
    return Fail(error);
  }
  std::sort(names->begin(), names->end());
  if (skipped) std::sort(skipped->begin(), skipped->end());
  return 1;
}

int ReadHostFile(const std::string& path, uint64_t maxSize, std::vector<uint8_t>* data,
                 std::string* error) {
  struct stat st;
  const int fd = OpenForReading(path, &st, error);
  if (fd < 0) return 0;
  if (static_cast<uint64_t>(st.st_size) > maxSize) {
    close(fd);
    *error = "file is too large";
    return 0;
  }
  data->clear();
  data->resize(static_cast<size_t>(st.st_size));
  size_t have = 0;
  for (;;) {
    // The file may have grown since fstat; it is read to its end all the same.
    if (have == data->size()) {
      if (data->size() > maxSize) break;
      data->resize(have + 65536);
    }
    const ssize_t n = read(fd, data->data() + have, data->size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int saved = errno;
      close(fd);
      errno = saved;
      return Fail(error);
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  close(fd);
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
  struct stat st;
  const int fd = OpenForReading(path, &st, error);
  if (fd < 0) return 0;
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    if (!ReadHostFile(path, maxSize, &view->copy, error)) return 0;
    view->data = view->copy.data();
    view->size = view->copy.size();
    return 1;
  }
  if (static_cast<uint64_t>(st.st_size) > maxSize) {
    close(fd);
    *error = "file is too large";
    return 0;
  }
  if (st.st_size == 0) {
    close(fd);
    return 1;
  }
  // MAP_POPULATE maps every page at once: one call instead of a fault for
  // every few pages as the archive is read.
  const size_t size = static_cast<size_t>(st.st_size);
  void* const mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  const int saved = errno;
  close(fd);
  if (mapping == MAP_FAILED) {
    errno = saved;
    return Fail(error);
  }
  view->mapping = mapping;
  view->data = static_cast<const uint8_t*>(mapping);
  view->size = size;
  return 1;
}

void UnmapHostFile(HostFileView* view) {
  if (view->mapping != nullptr) munmap(view->mapping, view->size);
  view->mapping = nullptr;
  view->data = nullptr;
  view->size = 0;
  view->copy.clear();
}

HostFileView::~HostFileView() { UnmapHostFile(this); }

int AllocateHostBuffer(size_t size, HostBuffer* buffer) {
  if (buffer->data != nullptr) munmap(buffer->data, buffer->size);
  buffer->data = nullptr;
  buffer->size = 0;
  if (size == 0) return 1;
  void* const memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                            -1, 0);
  if (memory == MAP_FAILED) return 0;
#ifdef MADV_HUGEPAGE
  // Only advice: without large pages the buffer works all the same.
  madvise(memory, size, MADV_HUGEPAGE);
#endif
  buffer->data = static_cast<uint8_t*>(memory);
  buffer->size = size;
  return 1;
}

HostBuffer::~HostBuffer() {
  if (data != nullptr) munmap(data, size);
}

int SetHostFileTime(const std::string& path, uint64_t fileTime, std::string* error) {
  int64_t seconds;
  uint32_t nanoseconds;
  FileTimeToUnix(fileTime, &seconds, &nanoseconds);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = nanoseconds;
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return Fail(error);
  return 1;
}

int MakeHostFolder(const std::string& folder, std::string* error) {
  if (mkdir(folder.c_str(), 0777) == 0) return 1;
  const int saved = errno;
  struct stat st;
  if (saved == EEXIST && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 1;
  errno = saved;
  return Fail(error);
}

int ReplaceHostFile(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return Fail(error);
  return 1;
}

void RemoveHostFile(const std::string& path) { unlink(path.c_str()); }

std::string JoinHostPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string HostBaseName(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

uint64_t SteadyMilliseconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::string ExecutablePath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

