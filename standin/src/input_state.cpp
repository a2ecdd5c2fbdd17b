// The input state both hosts feed: the keys, buttons and motion DirectInput
// reads, and the buffered devices' queues.
#include <algorithm>
#include <atomic>
#include <vector>

#include "standin.h"

namespace {

std::atomic_flag inputBusy = ATOMIC_FLAG_INIT;
std::atomic<unsigned> pumps(0);

std::vector<EventQueue *> &Queues() {
  static std::vector<EventQueue *> queues;
  return queues;
}

} // namespace

InputLock::InputLock() {
  while (inputBusy.test_and_set(std::memory_order_acquire)) {
  }
}
InputLock::~InputLock() { inputBusy.clear(std::memory_order_release); }

void ListQueue(EventQueue *queue) {
  InputLock lock;
  std::vector<EventQueue *> &queues = Queues();
  if (std::find(queues.begin(), queues.end(), queue) == queues.end())
    queues.push_back(queue);
}

void UnlistQueue(EventQueue *queue) {
  InputLock lock;
  std::vector<EventQueue *> &queues = Queues();
  queues.erase(std::remove(queues.begin(), queues.end(), queue), queues.end());
}

InputState &Input() {
  static InputState input;
  return input;
}

// As on Wine, a buffer of N events holds N - 1.
void QueueEvent(bool keyboard, DWORD offset, DWORD data, DWORD time) {
  for (EventQueue *queue : Queues()) {
    if (queue->keyboard != keyboard || !queue->acquired || queue->capacity == 0)
      continue;
    if (queue->events.size() + 1 >= queue->capacity) {
      queue->overflow = true;
      continue;
    }
    queue->events.push_back(
        DIDEVICEOBJECTDATA{offset, data, time, ++queue->sequence});
  }
}

void LoseInputFocus() {
  InputState &input = Input();
  // Keys and buttons released elsewhere never come back as events.
  input.focusWindowId = 0;
  input.focusKnown = true;
  ++input.focusLosses;
  memset(input.keys, 0, sizeof input.keys);
  memset(input.buttons, 0, sizeof input.buttons);
}

void NoteKey(unsigned char key, bool down, bool repeat, DWORD time) {
  InputState &input = Input();
  input.keys[key] = down ? 0x80 : 0;
  // A key held down repeats in the window system, never on the device.
  if (!repeat)
    QueueEvent(true, key, down ? 0x80 : 0, time);
}

void NoteButton(int index, bool down, DWORD time) {
  Input().buttons[index] = down ? 0x80 : 0;
  QueueEvent(false, DIMOFS_BUTTON0 + DWORD(index), down ? 0x80 : 0, time);
}

void NoteMotion(long x, long y, DWORD time) {
  InputState &input = Input();
  input.mouseX += x;
  input.mouseY += y;
  if (x != 0)
    QueueEvent(false, DIMOFS_X, static_cast<DWORD>(x), time);
  if (y != 0)
    QueueEvent(false, DIMOFS_Y, static_cast<DWORD>(y), time);
}

void NoteWheel(long notches, DWORD time) {
  Input().wheel += notches * 120;
  if (notches != 0)
    QueueEvent(false, DIMOFS_Z, static_cast<DWORD>(notches * 120), time);
}

void PumpEvents() {
  TakeHostEvents();
  ++pumps;
}

void PumpOncePerRound(unsigned &seen) {
  if (seen == pumps)
    PumpEvents();
  seen = pumps;
}

unsigned PumpCount() { return pumps; }
