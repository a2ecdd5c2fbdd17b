// Opening and closing the keyboard and mouse through DirectInput 5.
#include <ddraw.h>
#include <dinput.h>
#include <lurn.h>

#include "../errors/report_error.h"

namespace {

// Close counts a raw debug-filled field as empty as well as a null one.
bool Empty(IDirectInputDeviceA *device) {
  return device == NULL || reinterpret_cast<uintptr_t>(device) ==
                               static_cast<uintptr_t>(0xCDCDCDCDu);
}

void Drop(IDirectInputDeviceA *&device) {
  if (Empty(device))
    return;
  device->Unacquire();
  device->Release();
  device = NULL;
}

// Creates one system device, non-exclusive and foreground only. The device
// stays in `device` whichever step fails.
int OpenDevice(IDirectInputA *directInput, void *window, REFGUID guid,
               const DIDATAFORMAT *format, IDirectInputDeviceA *&device) {
  HRESULT result = directInput->CreateDevice(guid, &device, NULL);
  if (SUCCEEDED(result))
    result = device->SetDataFormat(format);
  if (SUCCEEDED(result))
    result = device->SetCooperativeLevel(static_cast<HWND>(window),
                                         DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  if (FAILED(result)) {
    ReportDirectXError(window, result);
    return 0;
  }
  return 1;
}

} // namespace

int LurnDirectInput::Open(void *window, void *instance) {
  HRESULT result = DirectInputCreateA(static_cast<HINSTANCE>(instance),
                                      DIRECTINPUT_VERSION, &directInput, NULL);
  if (FAILED(result)) {
    ReportDirectXError(window, result);
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
  if (directInput == NULL) {
    ReportDirectXError(window, DDERR_NOTINITIALIZED);
    return 0;
  }
  return OpenDevice(directInput, window, GUID_SysMouse, &c_dfDIMouse, mouse);
}

int LurnDirectInput::OpenKeyboard(void *window) {
  memset(keyState, 0, sizeof keyState);
  if (directInput == NULL) {
    ReportDirectXError(window, DDERR_NOTINITIALIZED);
    return 0;
  }
  return OpenDevice(directInput, window, GUID_SysKeyboard, &c_dfDIKeyboard,
                    keyboard);
}

void LurnDirectInput::Close() {
  if (!Empty(mouse)) {
    Drop(mouse);
    if (mouseHandle != NULL)
      CloseHandle(static_cast<HANDLE>(mouseHandle));
    mouseHandle = NULL;
  }
  Drop(spareDevice);
  Drop(keyboard);
  if (directInput != NULL) {
    directInput->Release();
    directInput = NULL;
  }
}
