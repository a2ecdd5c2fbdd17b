#include "call_sequence.h"

#include <lurn.h>

#include <algorithm>
#include <deque>
#include <set>
#include <sstream>

#include "../capture_stderr.h"
#include "../hex.h"
#include "empty_field.h"
#include "errors/report_error.h"
#include "fake_platform.h"

namespace {

const char *const kPlatformCalls[] = {
    "DirectDrawCreate",
    "IDirectDraw::QueryInterface",
    "IDirectDraw::SetCooperativeLevel",
    "IDirectDraw::SetDisplayMode",
    "IDirectDraw::GetCaps",
    "IDirectDraw::CreateSurface",
    "IDirectDraw::CreateClipper",
    "IDirectDrawClipper::SetHWnd",
    "IDirectDrawSurface::GetAttachedSurface",
    "IDirectDrawSurface::Lock",
    "IDirectDrawSurface::GetPixelFormat",
    "IDirectDrawSurface::SetClipper",
    "IDirectDrawSurface::Blt",
    "IDirectDrawSurface::Flip",
    "IDirectDrawSurface::Restore",
    "DirectInputCreateA",
    "IDirectInputA::CreateDevice",
    "IDirectInputDeviceA::SetDataFormat",
    "IDirectInputDeviceA::SetCooperativeLevel",
    "IDirectInputDeviceA::Acquire",
    "IDirectInputDeviceA::GetDeviceState",
    "GetClientRect",
    "IDirectInputDeviceA::SetProperty",
    "IDirectInputDeviceA::GetDeviceData",
};
const size_t kPlatformCallCount =
    sizeof kPlatformCalls / sizeof kPlatformCalls[0];

const uint32_t kCodes[] = {
    0x887601C2, // DDERR_SURFACELOST
    0x8876021C, // DDERR_WASSTILLDRAWING
    0x8876024B, // DDERR_WRONGMODE
    0x8007001E, // DIERR_INPUTLOST
    0x8007000C, // DIERR_NOTACQUIRED
    0x80070005, // DIERR_OTHERAPPHASPRIO
    0x8007000E, // out of memory
    0x80070057, // invalid argument
    0x80004005, // generic
    0x88760001, // DirectDraw's range, unnamed
    0x00000001, // S_FALSE
    0x7FFFFFFF, // another positive code
};
const size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];

enum Call {
  kDisplayOpen,
  kDisplayClose,
  kLock,
  kUnlock,
  kClear,
  kUpdate,
  kRestore,
  kAccessors,
  kInputOpen,
  kOpenKeyboard,
  kOpenMouse,
  kInputClose,
  kReadKeyboard,
  kKeyDown,
  kReadMouse,
  kToggleKeyboard,
  kToggleMouse,
  kPresses,
  kReadText,
  kCursor,
  kCallCount
};
const char *const kCallNames[kCallCount] = {"display.Open",
                                            "display.Close",
                                            "LockSecondaryBuffer",
                                            "UnlockSecondaryBuffer",
                                            "ClearSecondaryBuffer",
                                            "UpdatePrimaryBuffer",
                                            "RestoreSurfaces",
                                            "accessors",
                                            "input.Open",
                                            "OpenKeyboard",
                                            "OpenMouse",
                                            "input.Close",
                                            "GetStateKeyboard",
                                            "KeyDown",
                                            "GetStateMouse",
                                            "SyncAcquireKeyboard",
                                            "SyncAcquireMouse",
                                            "KeyPresses and ButtonPresses",
                                            "ReadText",
                                            "GetCursorPosition"};

const unsigned short kSizes[] = {0, 1, 320, 640, 65535};
const unsigned char kDepths[] = {0, 8, 15, 16, 24, 32};
const uintptr_t kFill32 = 0xCDCDCDCDu;

void *Window(uint8_t selector) {
  return selector % 3 == 0 ? NULL
                           : reinterpret_cast<void *>(0x1000 + selector % 3);
}

void SetFormat(uint8_t selector) {
  switch (selector % 6) {
  case 0:
  case 1:
    SetDisplayFormat(16, 0xF800, 0x07E0, 0x001F);
    break;
  case 2:
    SetDisplayFormat(16, 0x7C00, 0x03E0, 0x001F);
    break;
  case 3:
    SetDisplayFormat(8, 0, 0, 0);
    break;
  case 4:
    SetDisplayFormat(32, 0xFF0000, 0x00FF00, 0x0000FF);
    break;
  default:
    SetDisplayFormat(16, 0x1F, 0x7E0, 0xF800);
    break;
  }
}

void ScriptLock(uint8_t selector) {
  static uint16_t pixels[64];
  void *address = pixels;
  LONG pitch = 640;
  switch (selector % 8) {
  case 0:
    return; // the surface's own memory
  case 1:
    address = NULL;
    break;
  case 2:
    address = reinterpret_cast<void *>(kFill32);
    break;
  case 3:
    address = reinterpret_cast<void *>(UINTPTR_MAX / 0xFF * 0xCD);
    break;
  case 4:
    pitch = 0x10200;
    break;
  case 5:
    pitch = 0x20000;
    break;
  case 6:
    pitch = -2;
    break;
  default:
    pitch = 0x7FFFFFFE;
    break;
  }
  fake.lockAnswers.push_back(LockAnswer{address, pitch});
}

void Deliver(uint8_t selector) {
  if (selector == 0)
    return;
  std::vector<unsigned char> state(256);
  for (size_t i = 0; i < state.size(); ++i)
    state[i] = (i * 7 + selector) % 11 == 0 ? 0x80 : 0;
  if (selector % 2)
    fake.keyboardStates.push_back(state);
  else
    fake.mouseStates.push_back(
        std::vector<unsigned char>(state.begin(), state.begin() + 16));
  // Buffered events too: downs and ups, repeats, offsets of every kind.
  std::deque<DIDEVICEOBJECTDATA> &events =
      selector % 2 ? fake.keyboardEvents : fake.mouseEvents;
  for (unsigned i = 0; i < selector % 64u; ++i)
    events.push_back(DIDEVICEOBJECTDATA{(i * selector) % 300u,
                                        (i + selector) % 3 ? 0x80u : 0u, 0, 0});
}

// UTF-8 as the library must write it: whole, shortest-form characters, no
// surrogates, no control characters.
bool ValidText(const char *text, int length) {
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
  for (int i = 0; i < length;) {
    unsigned first = bytes[i];
    int more = first < 0x80 ? 0 : first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : 1;
    if ((first >= 0x80 && first < 0xC2) || first > 0xF4 || i + more >= length)
      return false;
    unsigned point = more == 0 ? first : first & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80)
        return false;
      point = point << 6 | (bytes[i + k] & 0x3F);
    }
    const unsigned least[] = {0, 0x80, 0x800, 0x10000};
    if (point < least[more] || point < 0x20 || point == 0x7F ||
        (point >= 0xD800 && point < 0xE000) || point > 0x10FFFF)
      return false;
    i += 1 + more;
  }
  return true;
}

// -- the model --------------------------------------------------------------

struct Checker {
  LurnDirectDraw &display;
  LurnDirectInput &input;
  std::set<const void *> everSecondary; // surfaces a Close may keep
  StderrCapture &diagnostics;
  // Made by presents that convert the picture (KeepDesktop): held by the
  // open display beside its fields, let go of with it.
  std::set<const void *> presentSurfaces;
  // Devices whose last acquisition answered DI_OK and that were not read
  // since, as the calls made so far show.
  std::set<const void *> acquired = {};
  size_t callsSeen = 0;

  // Whether the last successful read of `mouse` was its first after an
  // acquisition: that one reports no motion.
  bool FirstReadAfterAcquiring(const void *mouse) {
    bool first = false;
    for (; callsSeen < fake.calls.size(); ++callsSeen) {
      const FakeCall &call = fake.calls[callsSeen];
      if (call.name == "IDirectInputDeviceA::Acquire" && call.result == DI_OK)
        acquired.insert(call.object);
      else if (call.name == "IDirectInputDeviceA::Acquire" ||
               call.name == "IDirectInputDeviceA::Unacquire")
        acquired.erase(call.object);
      else if (call.name == "IDirectInputDeviceA::GetDeviceState" &&
               SUCCEEDED(call.result) && call.object == mouse)
        first = acquired.erase(call.object) > 0;
    }
    return first;
  }
  // Events the last keyboard and mouse reads were given.
  size_t keyboardEvents = 0, mouseEvents = 0;

  std::vector<const void *> Fields() const {
    return {
        display.directDraw,       display.directDraw2, display.primarySurface,
        display.secondarySurface, display.auxSurface,  display.clipper,
        input.directInput,        input.keyboard,      input.mouse,
        input.spareDevice};
  }

  // What must hold after any step: each field empty or one live reference,
  // every reference taken held by a field (or a kept drawing surface), and
  // nothing released twice.
  std::string References() {
    if (!Empty(display.secondarySurface))
      everSecondary.insert(display.secondarySurface);
    if (fake.OverReleases() != 0)
      return "an interface was released more often than it was held";
    std::vector<const void *> fields = Fields();
    for (const void *field : fields) {
      if (Empty(field))
        continue;
      FakeObject *object = fake.ObjectOf(field);
      if (object == NULL)
        return "a field holds " + Hex(reinterpret_cast<uintptr_t>(field)) +
               ", which is no interface";
      if (object->references < 1)
        return "a field holds a released " + object->kind;
    }
    for (const std::unique_ptr<FakeObject> &object : fake.objects) {
      long held = 0;
      for (const void *field : fields)
        held += field == object->iface;
      bool kept = held == 0 && object->references == 1 &&
                  (everSecondary.count(object->iface) != 0 ||
                   (presentSurfaces.count(object->iface) != 0 &&
                    !Empty(display.directDraw)));
      if (object->references != held && !kept) {
        std::ostringstream message;
        message << object->kind << " has " << object->references
                << " references but " << held << " fields hold it";
        return message.str();
      }
    }
    return "";
  }

  // `displayClosed`: the step closed a display that had its first interface
  // (without it, Close lets go of the second one only).
  std::string AfterClose(bool displayClosed, bool inputClosed) const {
    const unsigned char options = display.flags;
    const struct {
      const char *name;
      const void *field;
      bool emptied;
    } fields[] = {
        {"directDraw", display.directDraw, true},
        {"directDraw2", display.directDraw2, true},
        {"primarySurface", display.primarySurface, true},
        {"clipper", display.clipper, true},
        {"secondarySurface", display.secondarySurface,
         (options & LurnDirectDraw::ReleaseSecondary) != 0},
        {"auxSurface", display.auxSurface,
         (options & LurnDirectDraw::AuxSurface) != 0},
    };
    for (const auto &field : fields)
      if (displayClosed && field.emptied && !Empty(field.field))
        return std::string("display.Close left ") + field.name + " set";
    if (inputClosed && (!Empty(input.directInput) || !Empty(input.keyboard) ||
                        !Empty(input.mouse) || !Empty(input.spareDevice)))
      return "input.Close left an interface field set";
    return "";
  }
};

// The error boxes of a step: which calls may show one, and with what text.
std::string Boxes(const Step &step, size_t callsBefore, int result,
                  const Checker &checker) {
  std::set<std::string> allowed = {"DDERR_INVALIDPIXELFORMAT",
                                   "DDERR_LOCKEDSURFACES", "DDERR_TOOBIGWIDTH",
                                   "<Inconnue>", "DDERR_NOTINITIALIZED"};
  for (HRESULT code : fake.answered)
    allowed.insert(DirectXErrorName(code));
  // A null window where one is needed: full screen, the devices.
  int call = step.call % kCallCount;
  bool needsWindow =
      call == kOpenKeyboard || call == kOpenMouse ||
      (call == kDisplayOpen && (step.args[4] & LurnDirectDraw::FullScreen));
  if (needsWindow && Window(step.args[0]) == NULL) {
    allowed.insert("DDERR_INVALIDPARAMS");
    for (size_t i = callsBefore; i < fake.calls.size(); ++i)
      if (fake.calls[i].name == "DirectDrawCreate" ||
          fake.calls[i].name == "IDirectInputA::CreateDevice")
        return "a null window went on to " + fake.calls[i].name;
  }
  int boxes = 0;
  // Each box has its diagnostic line, naming the same code.
  std::vector<std::string> lines = checker.diagnostics.TakeLines();
  // A read whose buffer overflowed says so once, boxless: one given as
  // many events as the buffer holds, or told of more (DI_BUFFEROVERFLOW, or
  // another success that says it filled what it was given).
  bool overflowed = (call == kReadKeyboard && checker.keyboardEvents >= 255) ||
                    (call == kReadMouse && checker.mouseEvents >= 1023);
  for (size_t i = callsBefore; i < fake.calls.size(); ++i)
    if (fake.calls[i].name == "IDirectInputDeviceA::GetDeviceData" &&
        fake.calls[i].result != DI_OK && SUCCEEDED(fake.calls[i].result))
      overflowed = true;
  // Hints are boxless too: a mouse read while released, a text buffer too
  // small for a character.
  const struct {
    bool may;
    const char *says;
  } hints[] = {
      {overflowed, "events came between two reads"},
      {call == kReadMouse && checker.input.mouseReleased,
       "the mouse has not been acquired"},
      {call == kReadText && step.args[1] % 25 < 5, "holds no character"},
  };
  for (const auto &hint : hints)
    for (size_t j = 0; hint.may && j < lines.size(); ++j)
      if (lines[j].find(hint.says) != std::string::npos) {
        lines.erase(lines.begin() + long(j));
        break;
      }
  for (size_t i = callsBefore; i < fake.calls.size(); ++i) {
    const FakeCall &call = fake.calls[i];
    if (call.name != "MessageBoxA")
      continue;
    if (size_t(boxes) >= lines.size())
      return "an error box without a diagnostic line";
    std::string named = lines[boxes].substr(lines[boxes].find(": ", 6) + 2);
    if (named.compare(0, call.text.size() + 2, call.text + " (") != 0 &&
        !(call.text == "<Inconnue>" && named.compare(0, 6, "DIERR_") == 0))
      return "the box says '" + call.text + "', its line '" + lines[boxes] +
             "'";
    ++boxes;
    if (call.caption != "- DirectX Interface Error -" || call.values[1] != 0x10)
      return "an error box with caption '" + call.caption + "', type " +
             Hex(call.values[1]);
    if (allowed.count(call.text) == 0)
      return "an error box saying '" + call.text +
             "', which no answer of this step explains";
  }
  bool reports = call == kDisplayOpen || call == kLock || call == kInputOpen ||
                 call == kOpenKeyboard || call == kOpenMouse;
  if (!reports && boxes != 0)
    return "a call that reports nothing showed an error box";
  if (boxes > 1)
    return "one call showed more than one error box";
  if (lines.size() != size_t(boxes))
    return std::to_string(lines.size()) + " diagnostic lines for " +
           std::to_string(boxes) + " boxes";
  if (reports && result == 1 && boxes != 0)
    return "a call that succeeded showed an error box";
  bool mustReport = call != kLock;
  if (reports && mustReport && result == 0 && boxes != 1)
    return "a failed set-up showed no error box";
  if (call == kLock && boxes == 1 && !Empty(checker.display.directDraw))
    return "a reported lock failure left the display open";
  return "";
}

std::string Run(const Step &step, Checker &checker) {
  LurnDirectDraw &display = checker.display;
  LurnDirectInput &input = checker.input;
  fake.answered.clear();
  for (const ScriptedAnswer &answer : step.answers)
    fake.Answer(kPlatformCalls[answer.method % kPlatformCallCount],
                static_cast<HRESULT>(kCodes[answer.code % kCodeCount]),
                1 + answer.times % 8, answer.skip % 4);
  // A lock answer holds for its step. One whose pitch reaches past its
  // memory (answer 4, within what LockSecondaryBuffer takes) is a lie no
  // present that reads the picture can survive: presents get none.
  fake.lockAnswers.clear();
  if (step.lock != 0 &&
      !(step.call % kCallCount == kUpdate && step.lock % 8 == 4))
    ScriptLock(step.lock);
  SetFormat(step.format);
  Deliver(step.deliver);

  size_t callsBefore = fake.calls.size();
  int result = -1;
  bool hadDirectDraw = false;
  const uint8_t *a = step.args;
  switch (step.call % kCallCount) {
  case kDisplayOpen:
    result = display.Open(Window(a[0]), kSizes[a[1] % 5], kSizes[a[2] % 5],
                          kDepths[a[3] % 6], a[4]);
    break;
  case kDisplayClose:
    hadDirectDraw = !Empty(display.directDraw);
    display.Close();
    if (!hadDirectDraw && !Empty(display.directDraw2))
      return "display.Close kept directDraw2";
    break;
  case kLock:
    result = display.LockSecondaryBuffer();
    break;
  case kUnlock:
    display.UnlockSecondaryBuffer();
    break;
  case kClear:
    result = display.ClearSecondaryBuffer();
    break;
  case kUpdate: {
    size_t objectsBefore = fake.objects.size();
    result = display.UpdatePrimaryBuffer();
    // Keeping the desktop, the surfaces a present makes are the display's.
    for (size_t i = objectsBefore; i < fake.objects.size(); ++i)
      checker.presentSurfaces.insert(fake.objects[i]->iface);
    // Windowed: no client area, no blit; a lost primary is restored.
    bool noClientArea = false;
    for (size_t i = callsBefore; i < fake.calls.size(); ++i) {
      const FakeCall &call = fake.calls[i];
      if (call.name == "GetClientRect")
        noClientArea = call.result != S_OK;
      if (call.name == "IDirectDrawSurface::Blt" && noClientArea)
        return "a present blitted into a window without a client area";
      if (call.name == "IDirectDrawSurface::Blt" &&
          call.result == DDERR_SURFACELOST &&
          (i + 1 == fake.calls.size() ||
           fake.calls[i + 1].name != "IDirectDrawSurface::Restore"))
        return "a windowed present lost its primary and did not restore it";
    }
    break;
  }
  case kRestore:
    result = display.RestoreSurfaces();
    break;
  case kAccessors:
    if (display.GetDD() != display.directDraw ||
        display.GetPrimarySurface() != display.primarySurface ||
        display.GetRenderSurface() != display.secondarySurface)
      return "an accessor differs from its field";
    break;
  case kInputOpen:
    result = input.Open(Window(a[0]), reinterpret_cast<void *>(0x400000));
    break;
  case kOpenKeyboard:
    result = input.OpenKeyboard(Window(a[0]));
    break;
  case kOpenMouse:
    result = input.OpenMouse(Window(a[0]));
    break;
  case kInputClose:
    input.Close();
    break;
  case kReadKeyboard: {
    size_t delivered = fake.keyboardEventsDelivered;
    result = input.GetStateKeyboard();
    checker.keyboardEvents = fake.keyboardEventsDelivered - delivered;
  }
    if (result == 1 &&
        (fake.lastKeyboardState.size() != 256 ||
         memcmp(input.keyState, fake.lastKeyboardState.data(), 256) != 0))
      return "keyState differs from what the keyboard delivered";
    break;
  case kKeyDown:
    if (input.KeyDown(a[0]) != input.keyState[a[0]])
      return "KeyDown differs from keyState";
    break;
  case kReadMouse: {
    size_t reads = fake.Count("IDirectInputDeviceA::GetDeviceState");
    size_t eventsBefore = fake.mouseEventsDelivered;
    LurnLong code = input.GetStateMouse();
    checker.mouseEvents = fake.mouseEventsDelivered - eventsBefore;
    bool read = fake.Count("IDirectInputDeviceA::GetDeviceState") > reads;
    std::vector<unsigned char> delivered = fake.lastMouseState;
    if (checker.FirstReadAfterAcquiring(input.mouse) && delivered.size() == 16)
      memset(delivered.data(), 0, 8); // no motion: lX and lY
    if (code > 0)
      return "GetStateMouse answered a positive code";
    if (read && code == 0 && delivered.size() == 16 &&
        memcmp(&input.mouseState, delivered.data(), 16) != 0 &&
        fake.answered.empty())
      return "mouseState differs from what the mouse delivered";
    break;
  }
  case kPresses: {
    // Never negative, never more than the events given (a device without
    // a buffer counts from its state: one press at most).
    int key = input.KeyPresses(a[0]);
    int button = input.ButtonPresses(int(a[1] % 7) - 1);
    if (key < 0 || size_t(key) > std::max<size_t>(checker.keyboardEvents, 1))
      return "KeyPresses " + std::to_string(key) + " after " +
             std::to_string(checker.keyboardEvents) + " events";
    if (button < 0 || size_t(button) > std::max<size_t>(checker.mouseEvents, 1))
      return "ButtonPresses " + std::to_string(button) + " after " +
             std::to_string(checker.mouseEvents) + " events";
    break;
  }
  case kReadText: {
    // Whatever units come, surrogate halves and controls included.
    std::vector<HWND> hooked;
    for (const auto &window : fake.windows)
      if (!window.second.subclasses.empty())
        hooked.push_back(window.first);
    for (HWND window : hooked)
      for (int i = 0; i < a[2] % 8; ++i)
        FakeSend(window, WM_CHAR, (a[3] * 0x1F3Du + i * a[4]) & 0xFFFF, 1);
    char text[24];
    memset(text, 'x', sizeof text);
    int size = a[1] % 25;
    int length = input.ReadText(a[0] % 8 ? text : NULL, size);
    if (length < 0 || (length > 0 && length >= size))
      return "ReadText wrote " + std::to_string(length) + " into " +
             std::to_string(size);
    if (size > 0 && a[0] % 8 && (text[length] != 0 || !ValidText(text, length)))
      return "ReadText wrote no whole, terminated UTF-8";
    break;
  }
  case kCursor: {
    // Anywhere on or off the screen: a picture pixel, or nothing written.
    fake.cursor.x = int(a[0] * 13) - 1000;
    fake.cursor.y = int(a[1] * 9) - 700;
    LurnLong x = -7, y = -7;
    result = display.GetCursorPosition(a[2] % 8 ? &x : NULL, &y);
    bool inside = x >= 0 && x < LurnLong(display.width) && y >= 0 &&
                  y < LurnLong(display.height);
    if (result == 1 && ((a[2] % 8 && !inside) || y == -7))
      return "GetCursorPosition answered 1 with " + std::to_string(x) + ", " +
             std::to_string(y) + " outside " + std::to_string(display.width) +
             "x" + std::to_string(display.height);
    // A picture without pixels gives (0, 0).
    if (result == 0 && y != -7 &&
        (y < 0 || y >= std::max<LurnLong>(display.height, 1)))
      return "GetCursorPosition gave a nearest pixel " + std::to_string(y) +
             " outside the picture's " + std::to_string(display.height) +
             " lines";
    break;
  }
  case kToggleKeyboard: {
    unsigned char before = input.keyboardReleased;
    input.SyncAcquireKeyboard();
    if ((before != 0) == (input.keyboardReleased != 0))
      return "SyncAcquireKeyboard did not toggle";
    break;
  }
  case kToggleMouse: {
    unsigned char before = input.mouseReleased;
    input.SyncAcquireMouse();
    if ((before != 0) == (input.mouseReleased != 0))
      return "SyncAcquireMouse did not toggle";
    break;
  }
  }
  if (result != -1 && result != 0 && result != 1)
    return "a result other than 0 or 1: " + std::to_string(result);
  std::string problem = Boxes(step, callsBefore, result, checker);
  if (problem.empty())
    problem = checker.References();
  if (problem.empty())
    problem = checker.AfterClose(hadDirectDraw,
                                 step.call % kCallCount == kInputClose);
  return problem;
}

} // namespace

Step RandomStep(std::mt19937 &random) {
  Step step;
  // Frame calls come more often than set-up ones, as in a client.
  static const uint8_t kWeighted[] = {
      kDisplayOpen, kDisplayOpen,    kDisplayClose, kLock,         kLock,
      kUnlock,      kClear,          kClear,        kUpdate,       kUpdate,
      kRestore,     kAccessors,      kInputOpen,    kOpenKeyboard, kOpenMouse,
      kInputClose,  kReadKeyboard,   kReadKeyboard, kKeyDown,      kReadMouse,
      kReadMouse,   kToggleKeyboard, kToggleMouse,  kPresses,      kReadText,
      kCursor};
  step.call = kWeighted[random() % sizeof kWeighted];
  for (uint8_t &arg : step.args)
    arg = static_cast<uint8_t>(random());
  // Mostly the usual arguments, sometimes odd ones.
  if (random() % 4 != 0) {
    step.args[0] = 1;
    step.args[1] = 2;
    step.args[2] = 2;
    step.args[3] = 3;
    step.args[4] &= 0x1F; // the option bits, KeepDesktop among them
  }
  int answers = random() % 3 == 0 ? 1 + random() % 3 : 0;
  for (int i = 0; i < answers; ++i)
    step.answers.push_back(ScriptedAnswer{
        static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
        static_cast<uint8_t>(random() % 4 == 0 ? random() : 0),
        static_cast<uint8_t>(random())});
  step.lock = random() % 6 == 0 ? static_cast<uint8_t>(random()) : 0;
  step.format = random() % 10 == 0 ? static_cast<uint8_t>(random()) : 0;
  step.deliver = static_cast<uint8_t>(random() % 3 == 0 ? random() : 0);
  return step;
}

bool DecodeStep(const uint8_t *&data, size_t &size, Step &step) {
  if (size < 10)
    return false;
  step.call = data[0];
  memcpy(step.args, data + 1, 5);
  step.lock = data[6];
  step.format = data[7];
  step.deliver = data[8];
  int answers = data[9] % 4;
  data += 10;
  size -= 10;
  step.answers.clear();
  for (int i = 0; i < answers && size >= 4; ++i, data += 4, size -= 4)
    step.answers.push_back(ScriptedAnswer{data[0], data[1], data[2], data[3]});
  return true;
}

std::string Describe(const Step &step) {
  std::ostringstream text;
  text << kCallNames[step.call % kCallCount] << "(";
  for (int i = 0; i < 5; ++i)
    text << (i ? ", " : "") << int(step.args[i]);
  text << ")";
  for (const ScriptedAnswer &answer : step.answers)
    text << " [" << kPlatformCalls[answer.method % kPlatformCallCount]
         << " answers " << Hex(kCodes[answer.code % kCodeCount]) << " x"
         << 1 + answer.times % 8 << " after " << answer.skip % 4 << "]";
  if (step.lock)
    text << " [lock answer " << step.lock % 8 << "]";
  if (step.format)
    text << " [display format " << step.format % 6 << "]";
  if (step.deliver)
    text << " [delivers state " << int(step.deliver) << "]";
  return text.str();
}

std::string RunSteps(const std::vector<Step> &steps, uint8_t fill,
                     size_t *failedAt) {
  fake.Reset();
  // Presents kept to the display's refresh would only slow the run down.
#if defined(_WIN32)
  _putenv_s("LURN_VSYNC", "0");
#else
  setenv("LURN_VSYNC", "0", 1);
#endif
  StderrCapture diagnostics;
  LurnDirectDraw display;
  LurnDirectInput input;
  memset(&display, fill, sizeof display);
  memset(&input, fill, sizeof input);
  if (fill == kGarbageFill &&
      (!display.Open(Window(1), 320, 200, 16,
                     LurnDirectDraw::ReleaseSecondary) ||
       !input.Open(Window(1), NULL)))
    return "a record of garbage did not open";
  diagnostics.TakeLines();
  Checker checker = {display, input, {}, diagnostics, {}};
  for (size_t i = 0; i < steps.size(); ++i) {
    std::string problem = Run(steps[i], checker);
    if (!problem.empty()) {
      if (failedAt != NULL)
        *failedAt = i;
      // Closed before the next run's reset frees what they hold.
      display.Close();
      input.Close();
      return problem;
    }
  }
  // The end of a client: both closed, nothing held but kept surfaces.
  display.Close();
  input.Close();
  std::string problem = checker.References();
  if (!problem.empty() && failedAt != NULL)
    *failedAt = steps.size();
  return problem;
}

std::vector<Step> Shrink(std::vector<Step> steps, uint8_t rawRecords) {
  size_t failedAt = steps.size();
  if (RunSteps(steps, rawRecords, &failedAt).empty())
    return steps;
  if (failedAt < steps.size())
    steps.resize(failedAt + 1);
  // Drop every step the failure does not need, last ones first.
  for (size_t i = steps.size(); i-- > 0;) {
    std::vector<Step> fewer = steps;
    fewer.erase(fewer.begin() + static_cast<long>(i));
    if (!RunSteps(fewer, rawRecords, NULL).empty())
      steps = fewer;
  }
  return steps;
}
