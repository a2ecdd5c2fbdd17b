// The DLL's entry routine: the library keeps no state of its own, so there
// is nothing to set up or tear down.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
