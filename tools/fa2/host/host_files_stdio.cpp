// The stdio side of the host file operations, the same on Linux and in
// fa2.exe: the C library reports its failures through errno on both.
#include <cerrno>
#include <cstring>

#include "fa2/host/host_files.h"

namespace {

int FailWithErrno(std::string* error) {
  *error = std::strerror(errno);
  return 0;
}

}  // namespace

FILE* OpenHostFile(const std::string& path, const char* mode, std::string* error) {
  FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) FailWithErrno(error);
  return file;
}

int WriteHostBytes(FILE* file, const void* data, size_t size, std::string* error) {
  if (size != 0 && std::fwrite(data, 1, size, file) != size) return FailWithErrno(error);
  return 1;
}

int CloseHostFile(FILE* file, std::string* error) {
  const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
  const int saved = errno;
  const bool closed = std::fclose(file) == 0;
  if (!flushed) errno = saved;
  if (!flushed || !closed) return FailWithErrno(error);
  return 1;
}

int WriteHostFileWhole(const std::string& path, const void* data, size_t size, std::string* error) {
  const std::string partial = path + ".partial";
  FILE* file = OpenHostFile(partial, "wb", error);
  if (file == nullptr) return 0;
  int written = WriteHostBytes(file, data, size, error);
  std::string closeError;
  if (!CloseHostFile(file, &closeError) && written) {
    written = 0;
    *error = closeError;
  }
  if (written && ReplaceHostFile(partial, path, error)) return 1;
  RemoveHostFile(partial);
  return 0;
}
