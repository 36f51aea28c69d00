#include "driver/payload_check.h"

#include "archive/payload_digest.h"
#include "common/updater_state_win32.h"

const char kDamagedUpdaterMessage[] =
    "アップデータが破損しています。もう一度ダウンロードして下さい";

int CheckPayload(HINSTANCE instance) {
  HRSRC resource =
      FindResourceA(instance, MAKEINTRESOURCEA(kPayloadDigestResourceId), kPayloadResourceType);
  if (!resource) return 1;
  // A record that is there but cannot be read vouches for nothing: the
  // payload counts as damaged, as it does for a record of a later version
  // or algorithm. Running such a payload unchecked could write damaged
  // files into the game, while refusing costs the player a new download.
  const DWORD size = SizeofResource(instance, resource);
  HGLOBAL loaded = LoadResource(instance, resource);
  const void* record = loaded ? LockResource(loaded) : nullptr;
  if (!record) return 0;
  return CheckPayloadDigest(static_cast<const uint8_t*>(record), size, State.PayloadImage,
                            State.PayloadSize) == kDigestMatches;
}
