// Per-frame input: reading the devices' immediate state and toggling their
// acquisition.
#include <dinput.h>
#include <lurn.h>

#include "../display/keep_desktop.h"
#include "../empty_field.h"
#include "../open_records.h"

namespace {

// Acquire-and-read rounds of one keyboard read.
const int kKeyboardTries = 4;

// The Return of an Alt+Enter that a display took on the window is not the
// client's, up to its release, whenever Alt is let go.
int LeaveOutAltEnter(void *window, unsigned char *keys) {
#if defined(LURN_WINDOW_SYSTEM)
  if (ReturnTaken(window, keys[DIK_RETURN] != 0))
    keys[DIK_RETURN] = 0;
#else
  (void)window;
  (void)keys;
#endif
  return 1;
}

} // namespace

int LurnDirectInput::GetStateKeyboard() {
  if (Empty(keyboard) || !IsOpen(*this))
    return 0;
  if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
    return LeaveOutAltEnter(window, keyState);
  // Lost or never acquired: acquire and read again until a read succeeds
  // or the acquire is refused. A device that keeps taking the acquire and
  // failing the read gets a few tries, not the thread.
  for (int tries = 0; tries < kKeyboardTries; ++tries) {
    if (FAILED(keyboard->Acquire()))
      return 0;
    if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
      return LeaveOutAltEnter(window, keyState);
  }
  return 0;
}

int LurnDirectInput::KeyDown(unsigned char key) { return keyState[key]; }

LurnLong LurnDirectInput::GetStateMouse() {
  if (mouseReleased || Empty(mouse) || !IsOpen(*this))
    return 0;
  HRESULT result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  // The client has the mouse acquired, so a device that says it is not
  // acquired lost it to a focus change (Wine and the stand-in say so where
  // Windows says the input was lost): acquire it again either way.
  if (result != DIERR_INPUTLOST && result != DIERR_NOTACQUIRED)
    return 0;
  mouse->Acquire();
  result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  return FAILED(result) ? result : 0;
}

void LurnDirectInput::SyncAcquireKeyboard() {
  if (!IsOpen(*this)) { // the flag only: no device of its own to touch
    keyboardReleased = !keyboardReleased;
    return;
  }
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
  if (!IsOpen(*this)) {
    mouseReleased = !mouseReleased;
    return;
  }
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
