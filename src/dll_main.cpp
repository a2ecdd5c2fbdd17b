// The DLL's entry routine. The library's state (its list of open records,
// the settings it has named once) needs no set-up of its own: the runtime
// constructs it before this runs and destroys it at unload.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
