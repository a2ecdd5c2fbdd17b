// What the devices' buffered events tell between two reads, kept beside the
// record (the records keep their size): presses counted by key or button,
// listed under the device's interface, as long as the library holds it.
#ifndef LURN_INPUT_EVENTS_H
#define LURN_INPUT_EVENTS_H

#include <dinput.h>

// Events each device's buffer holds between two reads: a second of fast
// typing on the keyboard; the mouse's motion fills its buffer far sooner.
const DWORD kKeyboardEvents = 256;
const DWORD kMouseEvents = 1024;

// Gives a device its buffer; before it is acquired. A device the platform
// refuses one is counted from its state alone.
void GiveBuffer(IDirectInputDeviceA *device, DWORD events);

// Takes every event buffered since the last call and counts the presses in
// them: key codes for the keyboard, DIMOFS_BUTTON0..3 for the mouse. A key
// already down is not pressed again (auto-repeat). Without a buffer, a
// press is a down in `state` that `before` did not have. `method` names the
// read in the one line said when events were lost.
void CountPresses(IDirectInputDeviceA *device, bool keyboard,
                  const unsigned char *before, const unsigned char *state,
                  const char *method);

// Says once per mouse, on the diagnostic line, that a read found it
// released (never acquired, or toggled off) and what to call.
void SayMouseReleased(IDirectInputDeviceA *mouse);

// Presses counted by the last CountPresses on `device`; 0 for anything
// unknown.
int Presses(IDirectInputDeviceA *device, unsigned index);

// After an Acquire that answered `acquired`: a device acquired anew (DI_OK)
// forgets the keys it saw down and drops what its buffer kept from before,
// which the platform holds across a focus loss; its next read counts only
// what came since. S_FALSE, a device that was acquired already, keeps both.
void Reacquired(IDirectInputDeviceA *device, HRESULT acquired);

// The device is let go: its counts go with it.
void ForgetEvents(const void *device);

#endif
