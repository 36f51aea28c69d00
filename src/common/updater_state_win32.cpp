#include "common/updater_state_win32.h"

#include <cstring>

UpdaterState State;  // zero-initialised; Caption is set before main runs

namespace {
struct CaptionAtStart {
  CaptionAtStart() { std::strcpy(State.Caption, "UPDATE"); }
} captionAtStart;
}  // namespace

void ResetUpdaterState() {
  std::memset(&State, 0, sizeof State);
  std::strcpy(State.Caption, "UPDATE");
}
