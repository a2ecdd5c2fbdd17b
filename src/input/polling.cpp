// Per-frame input: reading the devices' immediate state and toggling their
// acquisition.
#include <dinput.h>
#include <lurn.h>

#include "../empty_field.h"

int LurnDirectInput::GetStateKeyboard() {
  if (Empty(keyboard))
    return 0;
  if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
    return 1;
  // Lost or never acquired: acquire and read again until a read succeeds
  // or the acquire is refused.
  for (;;) {
    if (FAILED(keyboard->Acquire()))
      return 0;
    if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
      return 1;
  }
}

int LurnDirectInput::KeyDown(unsigned char key) { return keyState[key]; }

LurnLong LurnDirectInput::GetStateMouse() {
  if (mouseReleased || Empty(mouse))
    return 0;
  HRESULT result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  if (result != DIERR_INPUTLOST)
    return 0;
  mouse->Acquire();
  result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  return FAILED(result) ? result : 0;
}

void LurnDirectInput::SyncAcquireKeyboard() {
  if (keyboardReleased) {
    if (!Empty(keyboard))
      keyboard->Acquire();
    keyboardReleased = 0;
  } else {
    if (!Empty(keyboard))
      keyboard->Unacquire();
    keyboardReleased = 1;
  }
}

void LurnDirectInput::SyncAcquireMouse() {
  if (mouseReleased) {
    if (!Empty(mouse))
      mouse->Acquire();
    mouseReleased = 0;
  } else {
    if (!Empty(mouse))
      mouse->Unacquire();
    mouseReleased = 1;
  }
}
