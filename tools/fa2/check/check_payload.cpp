#include "fa2/check/check_payload.h"

#include <cstdio>

#include "fa2/archive/archive_image.h"
#include "fa2/cli/report.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"
#include "fa2/patch/patch_checks.h"
#include "fa2/patch/patch_findings.h"

namespace {

// A SETUP.INI or an UPDATE.INI is a few kilobytes; a megabyte is surely not one.
constexpr uint64_t kMaxIniSize = 1 << 20;

// The findings as a JSON array of objects with the members level, section,
// key, value, problem and player, for build pipelines.
std::string FindingsToJson(const std::vector<CheckFinding>& findings) {
  std::string out = "[";
  for (size_t i = 0; i < findings.size(); ++i) {
    const CheckFinding& f = findings[i];
    out += i ? ",\n " : "\n ";
    out += "{\"level\": " + JsonText(f.level == FindingLevel::Error ? "error" : "warning") +
           ", \"section\": " + JsonText(f.section) + ", \"key\": " + JsonText(f.key) +
           ", \"value\": " + JsonText(f.value) + ", \"problem\": " + JsonText(f.problem) +
           ", \"player\": " + JsonText(f.player) + "}";
  }
  return out + (findings.empty() ? "]\n" : "\n]\n");
}

}  // namespace

int ReadPayloadForCheck(const std::vector<uint8_t>& payload, CheckedUpdate* update,
                        std::string* error) {
  OpenedArchive archive;
  if (!OpenArchiveImage(payload, &archive, error)) return 0;
  const ArchiveReader& reader = archive.reader;
  update->input = UpdateCheckInput{};
  update->input.payloadSize = payload.size();
  for (uint32_t i = 0; i < reader.EntryCount; ++i) {
    // A file's patches stand for it only where the archive has no full
    // entry of its name, and then once.
    if (IsPatchBesideItsFile(reader, i)) continue;
    update->input.entries.push_back({EntryName(reader.Entries[i]), reader.Entries[i].UnpackedSize});
  }
  update->archiveFindings.clear();
  AddPatchFindings(payload, &update->archiveFindings);
  // The updater's own lookup: the first entry of the name.
  uint32_t index = 0;
  if (FindArchiveEntry(&reader, "UPDATE.INI", &index)) {
    std::vector<uint8_t> content;
    if (!ReadEntryContent(reader, index, &content, error)) {
      *error = "UPDATE.INI: " + *error;
      return 0;
    }
    update->updateIni.assign(content.begin(), content.end());
    update->input.updateIni = &update->updateIni;
  }
  return 1;
}

int ReadSourcesForCheck(const std::vector<PackSource>& sources, CheckedUpdate* update) {
  update->input = UpdateCheckInput{};
  const PackSource* updateIni = nullptr;
  for (const PackSource& source : sources) {
    update->input.entries.push_back({source.name, source.size});
    if (!updateIni && ArchiveNamesEqual(source.name, "UPDATE.INI")) updateIni = &source;
  }
  if (updateIni == nullptr) return 1;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadHostFile(updateIni->path, kMaxIniSize, &bytes, &error)) {
    ReportError(updateIni->path, error);
    return 0;
  }
  update->updateIni.assign(bytes.begin(), bytes.end());
  update->input.updateIni = &update->updateIni;
  return 1;
}

int ReadSetupForCheck(const std::string& path, std::string* text) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadHostFile(path, kMaxIniSize, &bytes, &error)) {
    ReportError(path, error);
    return 0;
  }
  text->assign(bytes.begin(), bytes.end());
  return 1;
}

int ReportUpdateCheck(const std::string& label, CheckedUpdate* update,
                      const std::string* setupIni, bool json) {
  update->input.setupIni = setupIni;
  std::vector<CheckFinding> findings = CheckUpdate(update->input);
  findings.insert(findings.end(), update->archiveFindings.begin(), update->archiveFindings.end());
  const int errors = CountFindings(findings, FindingLevel::Error);
  if (json) {
    std::fputs(FindingsToJson(findings).c_str(), stdout);
    return errors;
  }
  for (const CheckFinding& finding : findings) {
    if (finding.level == FindingLevel::Error || Verbosity() >= 0)
      std::fprintf(stderr, "fa2: %s: %s\n", label.c_str(), FormatFinding(finding).c_str());
  }
  return errors;
}

int CheckUpdatePayload(const std::string& label, const std::vector<uint8_t>& payload,
                       const std::string* setupIni, bool json) {
  CheckedUpdate update;
  std::string error;
  if (!ReadPayloadForCheck(payload, &update, &error)) {
    ReportError(label, error);
    return -1;
  }
  return ReportUpdateCheck(label, &update, setupIni, json);
}
