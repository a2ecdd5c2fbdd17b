// The stand-in's DirectInput 5 over its host: the system keyboard and mouse,
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
  Device(bool keyboard, DWORD version)
      : Counted<InputDeviceDefaults>(IID_IDirectInputDeviceA),
        keyboard_(keyboard), version_(version) {
    ++liveObjects;
    queue_.keyboard = keyboard;
    queue_.acquired = false;
    queue_.capacity = 0;
    queue_.overflow = false;
    queue_.sequence = 0;
  }
  ~Device() {
    UnlistQueue(&queue_);
    --liveObjects;
  }

  HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property,
                                        LPCDIPROPHEADER header) override {
    if (header == NULL)
      return DIERR_INVALIDPARAM;
    if (&property != &DIPROP_BUFFERSIZE)
      return DIERR_UNSUPPORTED;
    if (header->dwSize != sizeof(DIPROPDWORD) ||
        header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        header->dwHow != DIPH_DEVICE || header->dwObj != 0)
      return DIERR_INVALIDPARAM;
    if (acquired_)
      return DIERR_ACQUIRED;
    DWORD size = reinterpret_cast<const DIPROPDWORD *>(header)->dwData;
    {
      InputLock lock;
      // Like Wine: at most 1024 events are kept, whatever is asked.
      queue_.capacity = std::min<DWORD>(size, kMostBuffered);
      queue_.events.clear();
      leftOver_ = false;
      queue_.overflow = false;
    }
    ListQueue(&queue_); // the input lock is not recursive
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD size, LPDIDEVICEOBJECTDATA data,
                                          LPDWORD count, DWORD flags) override {
    if (count == NULL)
      return E_POINTER;
    if (version_ == 0x0800 || size == sizeof(DIDEVICEOBJECTDATA)) {
      if (queue_.capacity == 0)
        return DIERR_NOTBUFFERED;
      // A count of its own: the state read just before it in the same frame
      // has pumped already. A read that takes what the last one left is the
      // same read in slices, and pumps no more.
      if (!leftOver_)
        PumpOncePerRound(dataPumpsSeen_);
      HRESULT lost = CheckAcquired();
      if (lost != DI_OK)
        return lost;
    }
    if (queue_.capacity == 0)
      return DI_OK;
    if (size < sizeof(DIDEVICEOBJECTDATA))
      return DIERR_INVALIDPARAM;
    InputLock lock;
    DWORD length = static_cast<DWORD>(queue_.events.size());
    if (*count != INFINITE && length > *count)
      length = *count;
    if (data != NULL) {
      unsigned char *to = reinterpret_cast<unsigned char *>(data);
      std::deque<DIDEVICEOBJECTDATA>::const_iterator event =
          queue_.events.begin();
      for (DWORD i = 0; i < length; ++i, ++event, to += size)
        memcpy(to, &*event, sizeof(DIDEVICEOBJECTDATA));
    }
    *count = length;
    // Wine tells of a lost event only to DirectInput 8's clients.
    HRESULT result =
        queue_.overflow && version_ == 0x0800 ? DI_BUFFEROVERFLOW : DI_OK;
    if ((flags & DIGDD_PEEK) == 0) {
      queue_.events.erase(queue_.events.begin(),
                          queue_.events.begin() + length);
      queue_.overflow = false;
      leftOver_ = !queue_.events.empty();
    }
    return result;
  }

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
    uint32_t windowId = WindowIdFromHandle(handle);
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
    {
      InputLock lock;
      lossesSeen_ = Input().focusLosses;
    }
    ForgetMovement();
    SetQueueAcquired(true);
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE Unacquire() override {
    if (!acquired_)
      return DI_NOEFFECT;
    acquired_ = false;
    ForgetMovement();
    SetQueueAcquired(false);
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
    HRESULT lost = CheckAcquired();
    if (lost != DI_OK)
      return lost;
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
  // A foreground device goes with the focus, as soon as it goes (on Wine
  // the window's deactivation unacquires it); the first read after that
  // says so, later ones find it plainly not acquired.
  HRESULT CheckAcquired() {
    if (acquired_ && foreground_ &&
        (!HasFocus(windowId_) || FocusLosses() != lossesSeen_)) {
      acquired_ = false;
      SetQueueAcquired(false);
      // A destroyed window takes its devices without a word, as on Wine.
      lost_ = WindowHandle(windowId_) != NULL;
    }
    if (acquired_)
      return DI_OK;
    HRESULT result = lost_ ? DIERR_INPUTLOST : DIERR_NOTACQUIRED;
    lost_ = false;
    return result;
  }

  // Events wait in the buffer across an unacquire and the next acquire, as
  // on Wine (its probe reads them there).
  void SetQueueAcquired(bool acquired) {
    InputLock lock;
    queue_.acquired = acquired;
  }

  // Movement made before an acquisition changes is nobody's to read.
  void ForgetMovement() {
    if (keyboard_)
      return;
    PumpEvents();
    InputLock lock;
    InputState &input = Input();
    input.mouseX = input.mouseY = input.wheel = 0;
  }

  static unsigned FocusLosses() {
    InputLock lock;
    return Input().focusLosses;
  }

  static constexpr DWORD kMostBuffered = 1024;

  bool keyboard_;
  DWORD version_;
  EventQueue queue_;
  DWORD dataSize_ = 0;
  uint32_t windowId_ = 0;
  bool foreground_ = false;
  bool acquired_ = false;
  bool lost_ = false;
  unsigned pumpsSeen_ = 0, dataPumpsSeen_ = 0;
  unsigned lossesSeen_ = 0; // the focus losses when it was acquired
  bool leftOver_ = false;   // the last read left events for the next
};

class DirectInput final : public Counted<DirectInputDefaults> {
public:
  explicit DirectInput(DWORD version)
      : Counted<DirectInputDefaults>(IID_IDirectInputA), version_(version) {
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
    *out = new Device(guid == GUID_SysKeyboard, version_);
    return DI_OK;
  }

private:
  DWORD version_;
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
    // The host's pointer is older than any device: where it was taken stays.
    InputLock lock;
    InputState &input = Input();
    InputState fresh;
    memset(&fresh, 0, sizeof fresh);
    fresh.pointerWindowId = input.pointerWindowId;
    fresh.pointerWindowLeft = input.pointerWindowLeft;
    fresh.pointerWindowTop = input.pointerWindowTop;
    input = fresh;
  }
  // A window made since may sit where a dead one was: looked up afresh, as
  // a new DirectDraw object does.
  ForgetDeadWindows();
  WatchEvents();
  *out = new DirectInput(version);
  return DI_OK;
}
