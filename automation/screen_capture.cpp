#include "automation/screen_capture.h"

// Stand-in until the capture lands: nothing is captured.
void screen_capture(std::uint8_t) {}
