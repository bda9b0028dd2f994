#pragma once

// True when the session's screen saver reports that it is running. Asks over
// the session bus with a short time-out; false when there is no bus or no
// screen saver service.
bool ScreenSaverActive();
