// Opening and closing the keyboard and mouse through DirectInput 5.
#include <ddraw.h>
#include <dinput.h>
#include <lurn.h>

#include "../empty_field.h"
#include "../errors/report_error.h"
#include "../open_records.h"
#include "../window/typed_keys.h"
#include "first_read.h"
#include "input_events.h"

namespace {

// The input records the library opened, with what it stored in each and
// their devices' events.
OpenRecords<LurnDirectInput, InputSide> openInputs;

void DeleteSides(std::vector<InputSide *> &sides) {
  for (InputSide *side : sides)
    delete side;
  sides.clear();
}

// A device the platform just made, where a listed record's was: that
// record was let go of without Close.
void ForgetStale(const void *device) {
  LurnDirectInput fresh;
  memset(&fresh, 0, sizeof fresh);
  fresh.spareDevice =
      static_cast<IDirectInputDeviceA *>(const_cast<void *>(device));
  std::vector<InputSide *> stale;
  openInputs.Forget(NULL, fresh, stale);
  DeleteSides(stale);
}

void Drop(IDirectInputDeviceA *&device) {
  if (Empty(device))
    return;
  ForgetEvents(device);
  DropKeyboard(device);
  device->Unacquire();
  ForgetAcquisition(device);
  device->Release();
  device = NULL;
}

// Creates one system device, non-exclusive and foreground only, in place of
// any the field held. The device stays in `device` whichever step fails.
int OpenDevice(IDirectInputA *directInput, void *window, REFGUID guid,
               const DIDATAFORMAT *format, IDirectInputDeviceA *&device,
               const char *method, const char *name) {
  if (!IsWindow(static_cast<HWND>(window))) {
    ReportDirectInputError(window, DDERR_INVALIDPARAMS, method,
                           "the system %s needs a window, and %p is none "
                           "(destroyed, or not a window's handle)",
                           name, window);
    return 0;
  }
  Drop(device);
  const char *step = "CreateDevice";
  HRESULT result = directInput->CreateDevice(guid, &device, NULL);
  if (SUCCEEDED(result)) {
    ForgetStale(device);
    step = "SetDataFormat";
    result = device->SetDataFormat(format);
  }
  if (SUCCEEDED(result)) {
    step = "non-exclusive foreground level on window";
    result = device->SetCooperativeLevel(static_cast<HWND>(window),
                                         DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  }
  if (FAILED(result)) {
    ReportDirectInputError(window, result, method, "%s of the system %s (%p)",
                           step, name, window);
    return 0;
  }
  return 1;
}

} // namespace

bool IsOpen(const LurnDirectInput &input) { return openInputs.IsOpen(input); }

DeviceEvents *EventsOf(const void *device, bool add) {
  InputSide *side = Empty(device) ? NULL : openInputs.SideHolding(device);
  if (side == NULL)
    return NULL;
  for (const std::unique_ptr<DeviceEvents> &events : side->devices)
    if (events->device == device)
      return events.get();
  if (!add)
    return NULL;
  side->devices.emplace_back(new DeviceEvents());
  side->devices.back()->device = device;
  return side->devices.back().get();
}

void ForgetEvents(const void *device) {
  InputSide *side = Empty(device) ? NULL : openInputs.SideHolding(device);
  if (side == NULL)
    return;
  for (size_t i = 0; i < side->devices.size(); ++i)
    if (side->devices[i]->device == device) {
      side->devices[i] = std::move(side->devices.back());
      side->devices.pop_back();
      return;
    }
}

size_t HeldInterfaces(const LurnDirectInput &input,
                      const void *held[kMostInterfaces]) {
  size_t count = 0;
  AddHeld(input.directInput, held, count);
  AddHeld(input.keyboard, held, count);
  AddHeld(input.mouse, held, count);
  AddHeld(input.spareDevice, held, count);
  return count;
}

int LurnDirectInput::Open(void *window, void *instance) {
  // Opening again lets go of the old root instead of leaking it, when the
  // library opened this record; the devices stay. Both come from the list's
  // copy: the fields may be a copy's, garbage or zero, and are overwritten
  // unread. The record stays listed until Close, so that devices kept
  // across a failed reopen are known.
  LurnDirectInput stored;
  InputSide *side;
  bool held = openInputs.Take(*this, stored, side);
  // A spare device can only come from this root, after Open.
  keyboard = held ? stored.keyboard : NULL;
  mouse = held ? stored.mouse : NULL;
  spareDevice = held ? stored.spareDevice : NULL;
  if (held && !Empty(stored.directInput)) {
    std::vector<InputSide *> stale;
    openInputs.Forget(NULL, stored, stale);
    DeleteSides(stale);
    stored.directInput->Release();
  }
  directInput = NULL;
  HRESULT result = DirectInputCreateA(static_cast<HINSTANCE>(instance),
                                      DIRECTINPUT_VERSION, &directInput, NULL);
  if (FAILED(result))
    directInput = NULL;
  if (SUCCEEDED(result) || held)
    openInputs.Remember(*this, held ? side : new InputSide());
  if (FAILED(result)) {
    ReportDirectInputError(window, result, "Open",
                           "DirectInputCreateA version 0x%04X for instance %p",
                           DIRECTINPUT_VERSION, instance);
    return 0;
  }
  this->window = window;
  keyboardReleased = 1;
  mouseReleased = 1;
  spareReleased = 1;
  mouseHandle = NULL;
  return 1;
}

// The devices need the root: without a successful Open there is nothing to
// create them from, which the user hears about like any set-up failure.
int LurnDirectInput::OpenMouse(void *window) {
  if (Empty(directInput) || !IsOpen(*this)) {
    ReportDirectInputError(window, DDERR_NOTINITIALIZED, "OpenMouse",
                           "no DirectInput root");
    return 0;
  }
  int opened = OpenDevice(directInput, window, GUID_SysMouse, &c_dfDIMouse,
                          mouse, "OpenMouse", "mouse");
  openInputs.Remember(*this);
  if (opened)
    GiveBuffer(mouse, kMouseEvents);
  return opened;
}

int LurnDirectInput::OpenKeyboard(void *window) {
  memset(keyState, 0, sizeof keyState);
  if (Empty(directInput) || !IsOpen(*this)) {
    ReportDirectInputError(window, DDERR_NOTINITIALIZED, "OpenKeyboard",
                           "no DirectInput root");
    return 0;
  }
  int opened =
      OpenDevice(directInput, window, GUID_SysKeyboard, &c_dfDIKeyboard,
                 keyboard, "OpenKeyboard", "keyboard");
  openInputs.Remember(*this);
  if (opened) {
    GiveBuffer(keyboard, kKeyboardEvents);
    AddKeyboard(keyboard, window);
  }
  return opened;
}

void LurnDirectInput::Close() {
  if (!openInputs.IsOpen(*this)) {
    // Not the library's to release: emptied only.
    void **fields[] = {reinterpret_cast<void **>(&mouse),
                       reinterpret_cast<void **>(&spareDevice),
                       reinterpret_cast<void **>(&keyboard),
                       reinterpret_cast<void **>(&directInput)};
    for (void **field : fields)
      if (!Empty(*field))
        *field = NULL;
    return;
  }
  std::vector<InputSide *> sides;
  openInputs.Forget(this, *this, sides);
  if (!Empty(mouse)) {
    Drop(mouse);
    if (mouseHandle != NULL)
      CloseHandle(static_cast<HANDLE>(mouseHandle));
    mouseHandle = NULL;
  }
  Drop(spareDevice);
  Drop(keyboard);
  if (!Empty(directInput)) {
    directInput->Release();
    directInput = NULL;
  }
  DeleteSides(sides);
}
