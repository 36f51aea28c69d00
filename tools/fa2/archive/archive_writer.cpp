#include "fa2/archive/archive_writer.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/decompress.h"
#include "fa2/archive/encoder.h"
#include "fa2/host/host_files.h"

namespace {

constexpr uint8_t kZeros[16] = {};

std::string Number(uint64_t value) { return std::to_string(value); }

// Compresses and checks that the stream gives the data back, so that an
// encoder fault can never reach an archive.
int CompressChecked(const uint8_t* data, size_t size, int level, std::vector<uint8_t>* stream,
                    std::string* error) {
  *stream = CompressBlock(data, size, level);
  std::vector<uint8_t> check(size);
  size_t produced = 0, consumed = 0;
  if (!DecompressBlockBounded(check.data(), check.size(), stream->data(), stream->size(),
                              &produced, &consumed) ||
      produced != size || consumed != stream->size() ||
      (size != 0 && std::memcmp(check.data(), data, size) != 0)) {
    *error = "internal error: the encoder's stream does not decode back to the data";
    return 0;
  }
  return 1;
}

ArchiveHeader MakeHeader(bool compressedDirectory, uint64_t directoryOffset, size_t count) {
  ArchiveHeader header = {{}, compressedDirectory ? kArchiveDirectoryCompressed : 0u,
                          static_cast<uint32_t>(directoryOffset), static_cast<uint32_t>(count)};
  std::memcpy(header.Magic, kArchiveMagic, sizeof header.Magic);
  return header;
}

}  // namespace

int PackEntry(const std::string& archiveName, uint64_t fileTime, const uint8_t* content,
              size_t size, bool storeOnly, PackedEntry* entry, std::string* error, int level) {
  if (archiveName.empty() || archiveName.find('\0') != std::string::npos) {
    *error = "name is empty or holds a NUL byte";
    return 0;
  }
  if (archiveName.size() >= kArchiveNameSize) {
    *error = "name is " + Number(archiveName.size()) +
             " bytes long in CP932; an entry name holds at most 259";
    return 0;
  }
  if (uint64_t{size} > UINT32_MAX) {
    *error = "file of " + Number(size) + " bytes is too large; an entry holds less than 4 GiB";
    return 0;
  }
  std::memset(&entry->record, 0, sizeof entry->record);
  std::memcpy(entry->record.Name, archiveName.data(), archiveName.size());
  entry->record.FileTimeLow = static_cast<uint32_t>(fileTime);
  entry->record.FileTimeHigh = static_cast<uint32_t>(fileTime >> 32);
  entry->record.UnpackedSize = static_cast<uint32_t>(size);

  if (!storeOnly) {
    if (!CompressChecked(content, size, level, &entry->stored, error)) return 0;
    if (entry->stored.size() < size) {
      entry->record.Flags = kEntryCompressed;
      entry->record.StoredSize = static_cast<uint32_t>(entry->stored.size());
      return 1;
    }
  }
  entry->record.Flags = kEntryStored;
  entry->record.StoredSize = static_cast<uint32_t>(size);
  entry->stored.assign(content, content + size);
  return 1;
}

int EncodeDirectory(const std::vector<ArchiveEntry>& records, bool compressed,
                    std::vector<uint8_t>* directory, std::string* error) {
  const uint64_t bytes = uint64_t{records.size()} * kArchiveEntrySize;
  if (kArchiveHeaderSize + bytes > UINT32_MAX) {
    *error = "too many entries (" + Number(records.size()) + ") for a directory";
    return 0;
  }
  const uint8_t* plain = reinterpret_cast<const uint8_t*>(records.data());
  if (!compressed) {
    directory->assign(plain, plain + bytes);
    return 1;
  }
  return CompressChecked(plain, bytes, kCompressLevelDefault, directory, error);
}

int BuildArchiveImage(const std::vector<PackedEntry>& entries, bool compressDirectory,
                      std::vector<uint8_t>* image, std::string* error) {
  image->assign(kArchiveHeaderSize, 0);
  std::vector<ArchiveEntry> records;
  for (const PackedEntry& entry : entries) {
    image->insert(image->end(), entry.stored.begin(), entry.stored.end());
    image->resize(kArchiveHeaderSize + (image->size() - kArchiveHeaderSize + 15) / 16 * 16, 0);
    records.push_back(entry.record);
  }
  std::vector<uint8_t> directory;
  if (!EncodeDirectory(records, compressDirectory, &directory, error)) return 0;
  const uint64_t directoryOffset = image->size();
  if (directoryOffset + directory.size() > UINT32_MAX) {
    *error = "archive would be larger than 4 GiB";
    return 0;
  }
  image->insert(image->end(), directory.begin(), directory.end());
  const ArchiveHeader header = MakeHeader(compressDirectory, directoryOffset, records.size());
  std::memcpy(image->data(), &header, sizeof header);
  return 1;
}

namespace {

int PutBytes(ArchiveWriter* writer, const void* bytes, size_t size, std::string* error) {
  if (writer->file != nullptr) return WriteHostBytes(writer->file, bytes, size, error);
  const uint8_t* from = static_cast<const uint8_t*>(bytes);
  writer->memory->insert(writer->memory->end(), from, from + size);
  return 1;
}

}  // namespace

void BeginArchiveInMemory(ArchiveWriter* writer, std::vector<uint8_t>* memory) {
  writer->file = nullptr;
  writer->memory = memory;
  writer->position = kArchiveHeaderSize;
  writer->records.clear();
  memory->assign(kArchiveHeaderSize, 0);
}

int BeginArchive(ArchiveWriter* writer, const std::string& path, std::string* error) {
  writer->file = OpenHostFile(path, "wb", error);
  if (writer->file == nullptr) return 0;
  writer->position = kArchiveHeaderSize;  // the first entry's data
  writer->records.clear();
  return WriteHostBytes(writer->file, kZeros, kArchiveHeaderSize, error);
}

int AddArchiveEntry(ArchiveWriter* writer, const PackedEntry& entry, std::string* error) {
  const uint64_t next = writer->position + AlignedStoredSize(entry.record.StoredSize);
  if (next > writer->maxSize) {
    *error = "archive would pass " + Number(writer->maxSize) + " bytes (the limit is 4 GiB)";
    return 0;
  }
  const size_t padding = static_cast<size_t>(next - writer->position - entry.stored.size());
  if (!PutBytes(writer, entry.stored.data(), entry.stored.size(), error) ||
      !PutBytes(writer, kZeros, padding, error))
    return 0;
  writer->position = next;
  writer->records.push_back(entry.record);
  return 1;
}

int FinishArchive(ArchiveWriter* writer, uint64_t* size, std::string* error) {
  std::vector<uint8_t> directory;
  if (!EncodeDirectory(writer->records, writer->compressDirectory, &directory, error)) return 0;
  if (writer->position + directory.size() > writer->maxSize) {
    *error = "archive would pass " + Number(writer->maxSize) + " bytes (the limit is 4 GiB)";
    return 0;
  }
  const ArchiveHeader header =
      MakeHeader(writer->compressDirectory, writer->position, writer->records.size());
  if (!PutBytes(writer, directory.data(), directory.size(), error)) return 0;
  *size = writer->position + directory.size();
  if (writer->file == nullptr) {
    std::memcpy(writer->memory->data(), &header, sizeof header);
    return 1;
  }
  if (std::fseek(writer->file, 0, SEEK_SET) != 0) {
    *error = "cannot seek back to the header";
    return 0;
  }
  if (!WriteHostBytes(writer->file, &header, sizeof header, error)) return 0;
  FILE* file = writer->file;
  writer->file = nullptr;
  return CloseHostFile(file, error);
}

void AbandonArchive(ArchiveWriter* writer) {
  if (writer->file != nullptr) std::fclose(writer->file);
  writer->file = nullptr;
}
