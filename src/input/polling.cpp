// Per-frame input: reading the devices' immediate state and toggling their
// acquisition.
#include <dinput.h>
#include <lurn.h>
#include <string.h>

#include "../empty_field.h"
#include "../open_records.h"
#include "../window/typed_keys.h"
#include "first_read.h"
#include "input_events.h"

namespace {

void MarkAcquired(IDirectInputDeviceA *mouse, HRESULT acquired) {
  // DI_OK only: S_FALSE is a device that was acquired already.
  if (acquired != DI_OK) {
    ForgetAcquisition(mouse);
    return;
  }
  DeviceEvents *events = EventsOf(mouse, true);
  if (events != NULL)
    events->fresh = true;
}

// A successful read: its motion dropped when it is the first since the
// acquisition.
void FirstReadHasNoMotion(IDirectInputDeviceA *mouse, LurnMouseState &state) {
  DeviceEvents *events = EventsOf(mouse, false);
  if (events == NULL || !events->fresh)
    return;
  events->fresh = false;
  state.lX = 0;
  state.lY = 0;
}

// Acquire-and-read rounds of one keyboard read.
const int kKeyboardTries = 4;

// After a successful keyboard read: the window's strokes up to it, and the
// Return of an Alt+Enter that a display took on the window, which is not
// the client's: hidden from the state up to its release, whenever Alt is
// let go, and left out of the read's counts.
int AfterKeyboardRead(IDirectInputDeviceA *keyboard, unsigned char *keys) {
  unsigned short strokes[256];
  bool altEnterTaken, hideReturn;
  TakeStrokes(keyboard, keys[DIK_RETURN] != 0,
              (keys[DIK_LMENU] | keys[DIK_RMENU]) != 0, strokes, altEnterTaken,
              hideReturn);
  if (hideReturn)
    keys[DIK_RETURN] = 0;
  DeviceEvents *events = EventsOf(keyboard, true);
  if (events != NULL) {
    memcpy(events->strokes, strokes, sizeof strokes);
    events->altEnterTaken = altEnterTaken;
  }
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

// A read's strokes are given until the next read, and a read that fails
// gives none: those typed meanwhile wait in the window for a good read.
void ForgetStrokes(IDirectInputDeviceA *keyboard) {
  DeviceEvents *events = EventsOf(keyboard, false);
  if (events != NULL)
    memset(events->strokes, 0, sizeof events->strokes);
}

} // namespace

void ForgetAcquisition(const void *mouse) {
  DeviceEvents *events = EventsOf(mouse, false);
  if (events != NULL)
    events->fresh = false;
}

int LurnDirectInput::GetStateKeyboard() {
  bool open = IsOpen(*this);
  PressCount presses(open ? keyboard : NULL, true, keyState, sizeof keyState,
                     "GetStateKeyboard");
  if (Empty(keyboard) || !open)
    return 0;
  ForgetStrokes(keyboard);
  if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
    return AfterKeyboardRead(keyboard, keyState);
  // Lost or never acquired: acquire and read again until a read succeeds
  // or the acquire is refused. A device that keeps taking the acquire and
  // failing the read gets a few tries, not the thread.
  for (int tries = 0; tries < kKeyboardTries; ++tries) {
    HRESULT acquired = keyboard->Acquire();
    if (FAILED(acquired))
      return 0;
    Reacquired(keyboard, acquired);
    if (keyboard->GetDeviceState(sizeof keyState, keyState) == DI_OK)
      return AfterKeyboardRead(keyboard, keyState);
  }
  return 0;
}

int LurnDirectInput::KeyDown(unsigned char key) { return keyState[key]; }

int LurnDirectInput::KeyPresses(unsigned char key) {
  return Empty(keyboard) || !IsOpen(*this)
             ? 0
             : Presses(keyboard, key, keyState, sizeof keyState);
}

int LurnDirectInput::KeyStrokes(unsigned char key) {
  if (Empty(keyboard) || !IsOpen(*this))
    return 0;
  ListenForStrokes(keyboard);
  DeviceEvents *events = EventsOf(keyboard, false);
  return events != NULL ? events->strokes[key] : 0;
}

int LurnDirectInput::ReadText(char *utf8, int size) {
  if (Empty(keyboard) || !IsOpen(*this)) {
    if (utf8 != NULL && size > 0)
      utf8[0] = 0;
    return 0;
  }
  return TakeText(keyboard, utf8, size);
}

int LurnDirectInput::ButtonPresses(int button) {
  if (Empty(mouse) || button < 0 || button > 3 || !IsOpen(*this))
    return 0;
  return Presses(mouse, static_cast<unsigned>(button), mouseState.rgbButtons,
                 sizeof mouseState.rgbButtons);
}

LurnLong LurnDirectInput::GetStateMouse() {
  bool open = IsOpen(*this);
  PressCount presses(mouseReleased || !open ? NULL : mouse, false,
                     mouseState.rgbButtons, sizeof mouseState.rgbButtons,
                     "GetStateMouse");
  if (Empty(mouse) || !open)
    return 0;
  if (mouseReleased) {
    SayMouseReleased(mouse);
    return 0;
  }
  HRESULT result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  if (SUCCEEDED(result))
    FirstReadHasNoMotion(mouse, mouseState);
  // The client has the mouse acquired, so a device that says it is not
  // acquired lost it to a focus change (Wine and the stand-in say so where
  // Windows says the input was lost): acquire it again either way.
  if (result != DIERR_INPUTLOST && result != DIERR_NOTACQUIRED)
    return 0;
  HRESULT acquired = mouse->Acquire();
  MarkAcquired(mouse, acquired);
  Reacquired(mouse, acquired);
  result = mouse->GetDeviceState(sizeof mouseState, &mouseState);
  if (FAILED(result))
    return result;
  FirstReadHasNoMotion(mouse, mouseState);
  return 0;
}

void LurnDirectInput::SyncAcquireKeyboard() {
  if (!IsOpen(*this)) { // the flag only: no device of its own to touch
    keyboardReleased = !keyboardReleased;
    return;
  }
  if (keyboardReleased) {
    if (!Empty(keyboard))
      Reacquired(keyboard, keyboard->Acquire());
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
    if (!Empty(mouse)) {
      HRESULT acquired = mouse->Acquire();
      MarkAcquired(mouse, acquired);
      Reacquired(mouse, acquired);
    }
    mouseReleased = 0;
  } else {
    if (!Empty(mouse)) {
      mouse->Unacquire();
      ForgetAcquisition(mouse);
    }
    mouseReleased = 1;
  }
}
