// The few file-system operations fa2 needs, over POSIX on Linux and over the
// ANSI Win32 functions in fa2.exe (whose paths are CP932 bytes, so that a
// second byte 0x5C of a double-byte character is never taken for a folder
// separator). Every failure fills *error with the system's reason.
#ifndef FA2_HOST_FILES_H
#define FA2_HOST_FILES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct HostFileInfo {
  bool isDirectory;
  bool isRegular;
  uint64_t size;
  uint64_t lastWrite;  // FILETIME
};

// Information about path, following symbolic links. Returns 0 when path does
// not exist or cannot be examined.
int StatHostFile(const std::string& path, HostFileInfo* info, std::string* error);

// The names of the regular files directly in folder, sorted by their bytes.
// Sub-folders and other kinds of file are left out; when skipped is given, it
// receives their names (without "." and "..").
int ListFolderFiles(const std::string& folder, std::vector<std::string>* names,
                    std::string* error, std::vector<std::string>* skipped = nullptr);

// Reads the whole file. Refuses a file longer than maxSize bytes with the
// reason "file is too large".
int ReadHostFile(const std::string& path, uint64_t maxSize, std::vector<uint8_t>* data,
                 std::string* error);

// A whole file held for reading: mapped into memory where the system can
// map it, so that neither a copy nor memory of its own is needed, and read
// into copy otherwise (a pipe or a device). data is null when the file is
// empty. The bytes stay valid until UnmapHostFile or the holder's end; on
// Linux a file cut short by another program meanwhile ends fa2 with SIGBUS
// when the lost bytes are touched (Windows refuses to cut a mapped file).
struct HostFileView {
  const uint8_t* data = nullptr;
  size_t size = 0;
  void* mapping = nullptr;  // what UnmapHostFile releases
  std::vector<uint8_t> copy;

  HostFileView() = default;
  HostFileView(const HostFileView&) = delete;
  HostFileView& operator=(const HostFileView&) = delete;
  ~HostFileView();
};

// Holds the whole file at path in *view, releasing what *view held before.
// Refuses a file longer than maxSize bytes with the reason "file is too
// large".
int MapHostFile(const std::string& path, uint64_t maxSize, HostFileView* view,
                std::string* error);

// Releases the file's bytes; *view is then empty.
void UnmapHostFile(HostFileView* view);

// A buffer for large output that is written many times over: taken from the
// system directly, its pages appear as they are first written (in large
// pages on Linux where the system allows, so that filling it takes few page
// faults), and nothing is written to it beforehand. data is null when the
// system refused the memory or size is 0.
struct HostBuffer {
  uint8_t* data = nullptr;
  size_t size = 0;

  HostBuffer() = default;
  HostBuffer(const HostBuffer&) = delete;
  HostBuffer& operator=(const HostBuffer&) = delete;
  ~HostBuffer();
};

// Gives *buffer size bytes, releasing what it held before. Returns 0 when
// the system refuses the memory.
int AllocateHostBuffer(size_t size, HostBuffer* buffer);

// fopen with binary modes; nullptr on failure.
FILE* OpenHostFile(const std::string& path, const char* mode, std::string* error);

// Writes the bytes to an open file.
int WriteHostBytes(FILE* file, const void* data, size_t size, std::string* error);

// Closes the file and reports a failure of the last writes.
int CloseHostFile(FILE* file, std::string* error);

// Sets the last-write time of path to a FILETIME.
int SetHostFileTime(const std::string& path, uint64_t fileTime, std::string* error);

// Creates folder unless it exists as a folder.
int MakeHostFolder(const std::string& folder, std::string* error);

// Moves from over to, replacing to.
int ReplaceHostFile(const std::string& from, const std::string& to, std::string* error);

// Deletes path; failures are ignored.
void RemoveHostFile(const std::string& path);

// Writes the bytes as the file at path, under a temporary name beside it
// first (path + ".partial"), so that a failure never leaves a half-written
// file under the real name; the temporary file is removed on failure.
int WriteHostFileWhole(const std::string& path, const void* data, size_t size, std::string* error);

// The folder and the name joined with the host's separator.
std::string JoinHostPath(const std::string& folder, const std::string& name);

// The last component of path.
std::string HostBaseName(const std::string& path);

// A steady clock in milliseconds, for progress reports. (<chrono> cannot be
// compiled where strings are CP932.)
uint64_t SteadyMilliseconds();

// Whether standard error is a terminal (progress is shown only there), and
// whether standard output is (listings add a header and totals there).
bool StandardErrorIsTerminal();
bool StandardOutputIsTerminal();

// The full path of the running program, or empty when the system cannot say.
std::string ExecutablePath();

#endif
