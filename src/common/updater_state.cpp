#include "common/updater_state.h"

#include <cstring>

UpdaterState State = {.Caption = "UPDATE"};

void ResetUpdaterState() {
  std::memset(&State, 0, sizeof State);
  std::strcpy(State.Caption, "UPDATE");
}
