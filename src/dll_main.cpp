// The DLL's entry routine. The library's only state is its list of open
// records, which needs no set-up: the runtime constructs it before this
// runs and destroys it at unload, so there is nothing else to do here.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
