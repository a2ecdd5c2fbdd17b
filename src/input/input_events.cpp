// Counting presses from the devices' buffered events.
#include "input_events.h"

#include <string.h>

#include "../errors/diagnostic.h"
#include "../present/alt_enter.h"
#include "../settings/settings.h"

namespace {

// A Return pressed with Alt held, on a window where a display takes
// Alt+Enter: the library's press, whether or not the window's hook has seen
// it yet.
bool AltEnterReturn(const DeviceEvents &events, unsigned index,
                    const unsigned char *keys) {
  return events.altEnterTaken &&
         ReturnIsAltEnters(false, index == DIK_RETURN,
                           ((keys[DIK_LMENU] | keys[DIK_RMENU]) & 0x80) != 0);
}

void Count(DeviceEvents &events, unsigned index, bool down, bool keyboard) {
  if (down && !events.held[index] && events.presses[index] < 0xFFFF &&
      !(keyboard && AltEnterReturn(events, index, events.held)))
    ++events.presses[index];
  events.held[index] = down ? 0x80 : 0;
}

// Reads in slices: a frame's events usually fit in one.
const DWORD kSlice = 256;

} // namespace

void GiveBuffer(IDirectInputDeviceA *device, DWORD events) {
  DIPROPDWORD property;
  property.diph.dwSize = sizeof property;
  property.diph.dwHeaderSize = sizeof property.diph;
  property.diph.dwObj = 0;
  property.diph.dwHow = DIPH_DEVICE;
  property.dwData = events;
  HRESULT result = device->SetProperty(DIPROP_BUFFERSIZE, &property.diph);
  DeviceEvents *counts = EventsOf(device, true);
  if (counts != NULL)
    counts->buffered = SUCCEEDED(result);
}

namespace {

void CountEvents(DeviceEvents &events, IDirectInputDeviceA *device,
                 bool keyboard, const unsigned char *before,
                 const unsigned char *state, const char *method) {
  memset(events.presses, 0, sizeof events.presses);
  unsigned objects = keyboard ? 256 : 4;
  if (!events.buffered) {
    for (unsigned i = 0; i < objects; ++i)
      if ((state[i] & 0x80) && !(before[i] & 0x80) &&
          !(keyboard && AltEnterReturn(events, i, state)))
        ++events.presses[i];
    return;
  }
  if (keyboard) { // an Alt held since before the device's events began
    events.held[DIK_LMENU] |= before[DIK_LMENU] & 0x80;
    events.held[DIK_RMENU] |= before[DIK_RMENU] & 0x80;
  }
  DWORD capacity = keyboard ? kKeyboardEvents : kMouseEvents;
  DWORD delivered = 0;
  bool lost = false;
  DIDEVICEOBJECTDATA slice[kSlice];
  for (;;) {
    DWORD count = kSlice;
    HRESULT result = device->GetDeviceData(sizeof slice[0], slice, &count, 0);
    if (FAILED(result))
      break;
    if (count > kSlice) // a platform that says more than it wrote
      count = kSlice;
    for (DWORD i = 0; i < count; ++i) {
      DWORD offset = slice[i].dwOfs;
      bool down = (slice[i].dwData & 0x80) != 0;
      if (keyboard && offset < 256)
        Count(events, offset, down, true);
      else if (!keyboard && offset >= DIMOFS_BUTTON0 &&
               offset <= DIMOFS_BUTTON3)
        Count(events, offset - DIMOFS_BUTTON0, down, false);
    }
    delivered += count;
    // Windows says DI_BUFFEROVERFLOW; Wine says nothing to DirectInput 5,
    // so a buffer found full counts as one that lost events too.
    if (result == DI_BUFFEROVERFLOW)
      lost = true;
    if (count < kSlice)
      break;
  }
  if (delivered >= capacity - 1)
    lost = true;
  if (lost && !events.lossSaid) {
    events.lossSaid = true;
    SayDiagnostic("lurn: %s: more than %lu %s events came between two "
                  "reads; those past the buffer were lost (read once a frame)",
                  method, static_cast<unsigned long>(capacity - 1),
                  keyboard ? "keyboard" : "mouse");
  }
}

} // namespace

void CountPresses(IDirectInputDeviceA *device, bool keyboard,
                  const unsigned char *before, const unsigned char *state,
                  const char *method) {
  DeviceEvents *events = EventsOf(device, true);
  if (events == NULL || (events->buffered && !events->counting))
    return;
  CountEvents(*events, device, keyboard, before, state, method);
}

namespace {

// Drops every event the platform holds for `device`: no records, no limit.
void DropBuffered(IDirectInputDeviceA *device) {
  DWORD all = INFINITE;
  device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), NULL, &all, 0);
}

} // namespace

void SayMouseReleased(IDirectInputDeviceA *mouse) {
  DeviceEvents *events = EventsOf(mouse, true);
  if (events == NULL || events->releasedSaid)
    return;
  events->releasedSaid = true;
  SayDiagnostic("lurn: GetStateMouse: the mouse has not been acquired, so "
                "nothing is read and the answer is 0; call SyncAcquireMouse "
                "once after OpenMouse (each call toggles)");
}

int Presses(IDirectInputDeviceA *device, unsigned index,
            const unsigned char *state, size_t size) {
  DeviceEvents *events = EventsOf(device, true);
  if (events == NULL || index >= 256)
    return 0;
  if (events->buffered && !events->counting) {
    events->counting = true;
    DropBuffered(device);
    memset(events->held, 0, sizeof events->held);
    for (size_t i = 0; i < size && i < 256; ++i)
      events->held[i] = state[i] & 0x80;
    memset(events->presses, 0, sizeof events->presses);
  }
  return events->presses[index];
}

void Reacquired(IDirectInputDeviceA *device, HRESULT acquired) {
  if (acquired != DI_OK)
    return;
  DeviceEvents *events = EventsOf(device, false);
  if (events == NULL)
    return;
  memset(events->held, 0, sizeof events->held);
  if (events->buffered && events->counting)
    DropBuffered(device);
}
