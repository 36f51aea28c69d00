#include "driver/launch_sequence.h"

// Until the wizard exists the course ends here with the pending exit code.
int RunLaunchSequence(HINSTANCE) { return 1; }
