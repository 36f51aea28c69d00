// What the updater and fa2 must agree on, written down once: where the
// payload and its digest record lie in the updater's resources, how an
// archive begins, and the updater's own messages that fa2's check quotes to
// the publisher. Both programs and their tests take these values from here.
//
// Platform-neutral: no windows.h. The message texts are the system's own;
// compiled for the updater (with the CP932 execution character set) they are
// the bytes it shows, compiled for fa2 they are the same texts in fa2's
// character set, ready to quote.
#ifndef COMMON_UPDATER_CONTRACT_H
#define COMMON_UPDATER_CONTRACT_H

#include <cstddef>
#include <cstdint>

#include "common/stub_features.h"

// The payload: an FA2 archive, resource type "UPDATE", id 102, Japanese.
constexpr char kPayloadResourceType[] = "UPDATE";
constexpr char16_t kPayloadResourceTypeWide[] = u"UPDATE";
constexpr uint16_t kPayloadResourceId = 102;
// The payload's digest record (archive/payload_digest.h) beside it: the same
// type, id 103.
constexpr uint16_t kPayloadDigestResourceId = 103;
// The language of both (and of the icon and version that fa2 adds).
constexpr uint16_t kPayloadResourceLanguage = 1041;

// The stub's feature record, resource "UPDATE"/104 (the same language): tag
// "FA2F", then a 32-bit little-endian set of features. fa2 embeds an archive
// that needs a feature only into a stub that announces it.
constexpr uint16_t kStubFeaturesResourceId = UPDATER_STUB_FEATURES_ID;
constexpr size_t kStubFeaturesSize = 8;
constexpr char kStubFeaturesTag[4] = {UPDATER_STUB_FEATURES_TAG[0], UPDATER_STUB_FEATURES_TAG[1],
                                      UPDATER_STUB_FEATURES_TAG[2], UPDATER_STUB_FEATURES_TAG[3]};
// The stub applies patch entries (archive/patch_format.h).
constexpr uint32_t kStubFeaturePatches = UPDATER_STUB_FEATURE_PATCHES;

// The first four bytes of every archive.
constexpr char kArchiveMagic[4] = {'F', 'A', '2', '\0'};

// The updater's messages that fa2 quotes. The formats take their arguments
// by the wsprintfA rules (%s).
constexpr char kNoEntryMessage[] = "Can't Find File in Resource !!";
constexpr char kReadErrorMessage[] = "RESOURCE READ ERROR";
constexpr char kNoMemoryMessage[] = "Can't Allocate Memory !!";
constexpr char kWriteFailedMessage[] = "ファイルの書き込みに失敗しました";
constexpr char kNothingAppliesMessage[] = "No 'UpdateFileXX' and 'CopyFileXX'";
constexpr char kInterruptedMessage[] = "アップデートが中断されました";
// A missing or empty key: the file (or UPDATE.INI's section) and the key.
constexpr char kKeyMissingFormat[] = "%s : %s キーが存在しません";
// An agreement entry that the archive lacks: its name.
constexpr char kEntryNotFoundFormat[] = "'%s' not found at UPDATE.FA3";
// A disc item that could not be copied: its path.
// An item with patches whose installed file is no patch's base, and no full
// entry to fall back on: the target's path.
constexpr char kNotPatchableFormat[] =
    "ファイル \"%s\" はこのアップデートを適用できるバージョンではありません";
constexpr char kDiscCopyFailedFormat[] = "SETUP.INI : \"%s\" のコピーに失敗しました";

#endif
