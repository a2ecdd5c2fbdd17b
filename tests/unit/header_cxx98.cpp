// A C++98 client's view of the public header: it must compile here without
// warnings, and the records must lay out as the library sees them, whatever
// packing the client has chosen.
#pragma pack(push, 1) // a client's own packing
#include <lurn.h>
#pragma pack(pop)

#include <stddef.h>

struct ClientLayout {
  size_t displaySize, inputSize, mouseStateSize;
  size_t flagsOffset, pitchOffset, keyStateOffset, mouseStateOffset;
};

static LurnDirectDraw staticDisplay; // plain records in static storage
static LurnDirectInput staticInput;

ClientLayout Cxx98ClientLayout() {
  ClientLayout layout;
  layout.displaySize = sizeof(LurnDirectDraw);
  layout.inputSize = sizeof(LurnDirectInput);
  layout.mouseStateSize = sizeof(LurnMouseState);
  layout.flagsOffset = offsetof(LurnDirectDraw, flags);
  layout.pitchOffset = offsetof(LurnDirectDraw, pitchPixels);
  layout.keyStateOffset = offsetof(LurnDirectInput, keyState);
  layout.mouseStateOffset = offsetof(LurnDirectInput, mouseState);
  return layout;
}

int Cxx98ZeroedRecordsAreEmpty() {
  return staticDisplay.directDraw == 0 && staticInput.directInput == 0 &&
         staticDisplay.flags == 0 && staticInput.keyState[255] == 0;
}
