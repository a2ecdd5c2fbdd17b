// What the devices' buffered events tell between two reads, kept beside the
// record (the records keep their size): presses counted by key or button,
// in the side record of the input record that holds the device, as long as
// the library holds it.
#ifndef LURN_INPUT_EVENTS_H
#define LURN_INPUT_EVENTS_H

#include <dinput.h>

#include <memory>
#include <vector>

struct DeviceEvents {
  const void *device;
  bool buffered;
  // The client asked for presses: from then on each read takes the events
  // its buffer holds. Until then nothing takes them, so that a read costs
  // the one request to the system that reading the state needs.
  bool counting;
  bool lossSaid;
  bool releasedSaid; // a read found the mouse released, and it was said
  // Acquired and not read since. Right after an acquisition Wine may
  // report the pointer's screen position as motion, which would throw a
  // game's own cursor into a corner: that first read reports none, on both
  // builds alike.
  bool fresh;
  unsigned char held[256]; // as the events last said: 0x80 down
  unsigned short presses[256];
  // The keyboard window's key-downs up to the last read, repeats included.
  unsigned short strokes[256];
  // A display takes Alt+Enter on the keyboard's window: a Return pressed
  // with Alt held is the library's, not a press.
  bool altEnterTaken;
};

// The side record of an open input record: its devices' events.
struct InputSide {
  std::vector<std::unique_ptr<DeviceEvents>> devices;
};

// The events of `device`, which an open input record holds (made when
// `add`), or null. Defined beside the list of open input records.
DeviceEvents *EventsOf(const void *device, bool add);

// Events each device's buffer holds between two reads: a second of fast
// typing on the keyboard; the mouse's motion fills its buffer far sooner.
const DWORD kKeyboardEvents = 256;
const DWORD kMouseEvents = 1024;

// Gives a device its buffer; before it is acquired. A device the platform
// refuses one is counted from its state alone.
void GiveBuffer(IDirectInputDeviceA *device, DWORD events);

// Takes every event buffered since the last call and counts the presses in
// them: key codes for the keyboard, DIMOFS_BUTTON0..3 for the mouse. A key
// already down is not pressed again (auto-repeat); the Returns of the
// library's Alt+Enter are left out. Without a buffer, a
// press is a down in `state` that `before` did not have. `method` names the
// read in the one line said when events were lost. A buffered device counts
// only once StartCounting was called for it.
void CountPresses(IDirectInputDeviceA *device, bool keyboard,
                  const unsigned char *before, const unsigned char *state,
                  const char *method);

// Says once per mouse, on the diagnostic line, that a read found it
// released (never acquired, or toggled off) and what to call.
void SayMouseReleased(IDirectInputDeviceA *mouse);

// Presses counted by the last CountPresses on `device`; 0 for anything
// unknown. The first call on a buffered device starts its counting: the
// events buffered so far are dropped, the objects down in `state` (as the
// last read found them) are held, and the answer is 0.
int Presses(IDirectInputDeviceA *device, unsigned index,
            const unsigned char *state, size_t size);

// After an Acquire that answered `acquired`: a device acquired anew (DI_OK)
// forgets the keys it saw down and drops what its buffer kept from before,
// which the platform holds across a focus loss; its next read counts only
// what came since. S_FALSE, a device that was acquired already, keeps both.
void Reacquired(IDirectInputDeviceA *device, HRESULT acquired);

// The device is let go: its counts go with it. Defined beside the list.
void ForgetEvents(const void *device);

#endif
