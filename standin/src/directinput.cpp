// The stand-in's DirectInput 5 over SDL2: the system keyboard and mouse,
// read as immediate state, with the acquisition rules of a non-exclusive
// foreground device on the real platform.
#include <algorithm>

#include "com_defaults.h"
#include "counted.h"
#include "standin.h"

namespace {

int liveObjects = 0; // roots and devices; input state restarts at zero

class Device final : public Counted<InputDeviceDefaults> {
public:
  explicit Device(bool keyboard)
      : Counted<InputDeviceDefaults>(IID_IDirectInputDeviceA),
        keyboard_(keyboard) {
    ++liveObjects;
  }
  ~Device() { --liveObjects; }

  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
    if (format == NULL || format->dwSize != sizeof(DIDATAFORMAT))
      return DIERR_INVALIDPARAM;
    if (acquired_)
      return DIERR_ACQUIRED;
    DWORD expected = keyboard_ ? 256 : sizeof(DIMOUSESTATE);
    if (format->dwDataSize != expected)
      return DIERR_INVALIDPARAM;
    dataSize_ = format->dwDataSize;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND handle,
                                                DWORD flags) override {
    bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    bool foreground = (flags & DISCL_FOREGROUND) != 0;
    if (exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0) ||
        foreground == ((flags & DISCL_BACKGROUND) != 0))
      return DIERR_INVALIDPARAM;
    if (acquired_)
      return DIERR_ACQUIRED;
    Uint32 windowId = WindowIdFromHandle(handle);
    if (windowId == 0 && (handle != NULL || foreground))
      return E_HANDLE;
    windowId_ = windowId;
    foreground_ = foreground;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE Acquire() override {
    if (dataSize_ == 0)
      return DIERR_INVALIDPARAM;
    if (acquired_)
      return S_FALSE;
    PumpOncePerRound(pumpsSeen_);
    if (foreground_ && !HasFocus(windowId_))
      return DIERR_OTHERAPPHASPRIO;
    acquired_ = true;
    lost_ = false;
    ForgetMovement();
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE Unacquire() override {
    if (!acquired_)
      return DI_NOEFFECT;
    acquired_ = false;
    ForgetMovement();
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
    if (data == NULL)
      return E_POINTER;
    if (size != dataSize_)
      return DIERR_INVALIDPARAM;
    // Events are pumped once a frame: the second device read in it finds
    // them fresh.
    PumpOncePerRound(pumpsSeen_);
    // A foreground device goes with the focus; the first read after that
    // says so, later ones find it plainly not acquired.
    if (acquired_ && foreground_ && !HasFocus(windowId_)) {
      acquired_ = false;
      // A destroyed window takes its devices without a word, as on Wine.
      lost_ = LiveWindow(windowId_) != NULL;
    }
    if (!acquired_) {
      HRESULT result = lost_ ? DIERR_INPUTLOST : DIERR_NOTACQUIRED;
      lost_ = false;
      return result;
    }
    InputLock lock;
    InputState &input = Input();
    if (keyboard_) {
      memcpy(data, input.keys, 256);
      return DI_OK;
    }
    DIMOUSESTATE state;
    state.lX = static_cast<LONG>(input.mouseX);
    state.lY = static_cast<LONG>(input.mouseY);
    state.lZ = static_cast<LONG>(input.wheel);
    memcpy(state.rgbButtons, input.buttons, 4);
    memcpy(data, &state, sizeof state);
    input.mouseX = input.mouseY = input.wheel = 0;
    return DI_OK;
  }

private:
  // Movement made before an acquisition changes is nobody's to read.
  void ForgetMovement() {
    if (keyboard_)
      return;
    PumpEvents();
    InputLock lock;
    InputState &input = Input();
    input.mouseX = input.mouseY = input.wheel = 0;
  }

  bool keyboard_;
  DWORD dataSize_ = 0;
  Uint32 windowId_ = 0;
  bool foreground_ = false;
  bool acquired_ = false;
  bool lost_ = false;
  unsigned pumpsSeen_ = 0;
};

class DirectInput final : public Counted<DirectInputDefaults> {
public:
  DirectInput() : Counted<DirectInputDefaults>(IID_IDirectInputA) {
    ++liveObjects;
  }
  ~DirectInput() { --liveObjects; }

  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid,
                                         LPDIRECTINPUTDEVICEA *out,
                                         LPUNKNOWN outer) override {
    if (out == NULL)
      return E_POINTER;
    *out = NULL;
    if (outer != NULL)
      return DIERR_NOAGGREGATION;
    if (guid != GUID_SysKeyboard && guid != GUID_SysMouse)
      return DIERR_DEVICENOTREG;
    *out = new Device(guid == GUID_SysKeyboard);
    return DI_OK;
  }
};

} // namespace

HRESULT WINAPI DirectInputCreateA(HINSTANCE, DWORD version, LPDIRECTINPUTA *out,
                                  LPUNKNOWN outer) {
  if (out == NULL)
    return E_POINTER;
  *out = NULL;
  if (outer != NULL)
    return DIERR_NOAGGREGATION;
  // Older than any release: a beta; newer than this one: too old here.
  if (version < 0x0300)
    return DIERR_BETADIRECTINPUTVERSION;
  if (version > 0x0800)
    return DIERR_OLDDIRECTINPUTVERSION;
  if (liveObjects == 0) {
    // SDL's pointer is older than any device: where it was taken stays.
    InputLock lock;
    InputState &input = Input();
    InputState fresh;
    memset(&fresh, 0, sizeof fresh);
    fresh.pointerWindowId = input.pointerWindowId;
    fresh.pointerWindowLeft = input.pointerWindowLeft;
    fresh.pointerWindowTop = input.pointerWindowTop;
    input = fresh;
  }
  WatchEvents();
  *out = new DirectInput;
  return DI_OK;
}
