// Per-frame input: reading the devices' immediate state and toggling their
// acquisition.
#include <dinput.h>
#include <lurn.h>
#include <string.h>

#include "../display/keep_desktop.h"
#include "../empty_field.h"
#include "input_events.h"
#include "text_input.h"

namespace {

// Acquire-and-read rounds of one keyboard read.
const int kKeyboardTries = 4;

// Alt+Enter taken by a display is not the client's: its Return is left out.
int LeaveOutAltEnter(unsigned char *keys) {
#if defined(_WIN32)
  if ((keys[DIK_LMENU] || keys[DIK_RMENU]) && AltEnterTaken())
    keys[DIK_RETURN] = 0;
#else
  (void)keys;
#endif
  return 1;
}

// Counts a read's presses once it is over, whichever way it ends: a device
// that was not read counts none.
class PressCount {
public:
  PressCount(IDirectInputDeviceA *device, bool keyboard, unsigned char *state,
             size_t size, const char *method)
      : device_(device), keyboard_(keyboard), state_(state), method_(method) {
    memcpy(before_, state, size);
  }
  ~PressCount() {
    if (!Empty(device_))
      CountPresses(device_, keyboard_, before_, state_, method_);
  }
  PressCount(const PressCount &) = delete;
  PressCount &operator=(const PressCount &) = delete;

private:
  IDirectInputDeviceA *device_;
  bool keyboard_;
  const unsigned char *state_;
  const char *method_;
  unsigned char before_[256];
};

} // namespace

int LurnDirectInput::GetStateKeyboard() {
  PressCount presses(keyboard, true, keyState, sizeof keyState,
                     "GetStateKeyboard");
  if (Empty(keyboard))
    return 0;
  if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
    return LeaveOutAltEnter(keyState);
  // Lost or never acquired: acquire and read again until a read succeeds
  // or the acquire is refused. A device that keeps taking the acquire and
  // failing the read gets a few tries, not the thread.
  for (int tries = 0; tries < kKeyboardTries; ++tries) {
    if (FAILED(keyboard->Acquire()))
      return 0;
    ForgetHeld(keyboard);
    if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
      return LeaveOutAltEnter(keyState);
  }
  return 0;
}

int LurnDirectInput::KeyDown(unsigned char key) { return keyState[key]; }

int LurnDirectInput::KeyPresses(unsigned char key) {
  return Empty(keyboard) ? 0 : Presses(keyboard, key);
}

int LurnDirectInput::ReadText(char *utf8, int size) {
  if (Empty(keyboard)) {
    if (utf8 != NULL && size > 0)
      utf8[0] = 0;
    return 0;
  }
  return TakeText(keyboard, utf8, size);
}

int LurnDirectInput::ButtonPresses(int button) {
  if (Empty(mouse) || button < 0 || button > 3)
    return 0;
  return Presses(mouse, static_cast<unsigned>(button));
}

LurnLong LurnDirectInput::GetStateMouse() {
  PressCount presses(mouseReleased ? NULL : mouse, false, mouseState.rgbButtons,
                     sizeof mouseState.rgbButtons, "GetStateMouse");
  if (mouseReleased || Empty(mouse))
    return 0;
  HRESULT result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  // The client has the mouse acquired, so a device that says it is not
  // acquired lost it to a focus change (Wine and the stand-in say so where
  // Windows says the input was lost): acquire it again either way.
  if (result != DIERR_INPUTLOST && result != DIERR_NOTACQUIRED)
    return 0;
  mouse->Acquire();
  ForgetHeld(mouse);
  result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  return FAILED(result) ? result : 0;
}

void LurnDirectInput::SyncAcquireKeyboard() {
  if (keyboardReleased) {
    if (!Empty(keyboard)) {
      keyboard->Acquire();
      ForgetHeld(keyboard);
    }
    keyboardReleased = 0;
  } else {
    if (!Empty(keyboard))
      keyboard->Unacquire();
    keyboardReleased = 1;
  }
}

void LurnDirectInput::SyncAcquireMouse() {
  if (mouseReleased) {
    if (!Empty(mouse)) {
      mouse->Acquire();
      ForgetHeld(mouse);
    }
    mouseReleased = 0;
  } else {
    if (!Empty(mouse))
      mouse->Unacquire();
    mouseReleased = 1;
  }
}
