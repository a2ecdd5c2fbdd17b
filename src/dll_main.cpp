// The DLL's entry routine. The library's state (its list of open records,
// the settings it has named once) needs no set-up of its own: the runtime
// constructs it before this runs and destroys it at unload.
#include <windows.h>

#include "present/pacing.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// The DLL paces by the system's clock; the unit tests, by a fake one.
PacingClock *NewPacingClock(void *window) { return NewWindowsClock(window); }
