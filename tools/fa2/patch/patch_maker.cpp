#include "fa2/patch/patch_maker.h"

#include <cstring>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_CCtx_refPrefix_advanced
#include <zstd.h>

#include "archive/patch_records.h"
#include "archive/payload_digest.h"

namespace {

int WindowLogFor(uint64_t reach) {
  int log = ZSTD_WINDOWLOG_MIN;
  while (log < kPatchMaxWindowLog && (uint64_t{1} << log) < reach) ++log;
  return log;
}

}  // namespace

int MakePatchData(const uint8_t* base, size_t baseSize, const uint8_t* target, size_t targetSize,
                  int level, std::vector<uint8_t>* data, std::string* error) {
  if (baseSize > kPatchMaxBaseSize) {
    *error = "the base file is larger than 2 GiB";
    return 0;
  }
  PatchRecord record{};
  record.BaseSize = baseSize;
  DigestXxh3_128(base, baseSize, record.BaseHash);
  DigestXxh3_128(target, targetSize, record.NewHash);
  const size_t start = data->size();
  data->resize(start + kPatchRecordSize + ZSTD_compressBound(targetSize));
  EncodePatchRecord(record, data->data() + start);

  ZSTD_CCtx* context = ZSTD_createCCtx();
  if (context == nullptr) {
    *error = "out of memory";
    data->resize(start);
    return 0;
  }
  const int windowLog = WindowLogFor(uint64_t{baseSize} + targetSize);
  size_t result = ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
  if (!ZSTD_isError(result))
    result = ZSTD_CCtx_setParameter(context, ZSTD_c_enableLongDistanceMatching, 1);
  if (!ZSTD_isError(result)) result = ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
  if (!ZSTD_isError(result)) result = ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 0);
  if (!ZSTD_isError(result))
    result = ZSTD_CCtx_refPrefix_advanced(context, baseSize != 0 ? base : nullptr, baseSize,
                                          ZSTD_dct_rawContent);
  if (!ZSTD_isError(result))
    result = ZSTD_compress2(context, data->data() + start + kPatchRecordSize,
                            data->size() - start - kPatchRecordSize, target, targetSize);
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(result)) {
    *error = ZSTD_getErrorName(result);
    data->resize(start);
    return 0;
  }
  data->resize(start + kPatchRecordSize + result);
  return 1;
}

int PackPatchEntry(const std::string& archiveName, uint64_t fileTime, const uint8_t* base,
                   size_t baseSize, const uint8_t* target, size_t targetSize, int level,
                   PackedEntry* entry, std::string* error) {
  if (archiveName.empty() || archiveName.size() >= kArchiveNameSize ||
      archiveName.find('\0') != std::string::npos) {
    *error = "the name does not fit an entry";
    return 0;
  }
  entry->stored.clear();
  if (!MakePatchData(base, baseSize, target, targetSize, level, &entry->stored, error)) return 0;
  if (targetSize > UINT32_MAX || entry->stored.size() > UINT32_MAX) {
    *error = "the file or its patch is 4 GiB or larger";
    return 0;
  }
  std::memset(&entry->record, 0, sizeof entry->record);
  std::memcpy(entry->record.Name, archiveName.data(), archiveName.size());
  entry->record.Flags = kEntryPatch;
  entry->record.FileTimeLow = static_cast<uint32_t>(fileTime);
  entry->record.FileTimeHigh = static_cast<uint32_t>(fileTime >> 32);
  entry->record.UnpackedSize = static_cast<uint32_t>(targetSize);
  entry->record.StoredSize = static_cast<uint32_t>(entry->stored.size());
  return 1;
}
