// Scripted fakes of the platform for unit tests: they stand where DirectDraw,
// DirectInput and the window system stand, record every call with its
// arguments, answer what a test scripts (0 otherwise) and count references.
// Objects are kept until Reset, so a test can check that each reference was
// released exactly once.
#ifndef LURN_FAKE_PLATFORM_H
#define LURN_FAKE_PLATFORM_H

#include <com_defaults.h>

#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct FakeCall {
  std::string name;              // "IDirectDraw::CreateSurface", "MessageBoxA"
  const void *object;            // the interface called, or null
  std::vector<uintptr_t> values; // the plain arguments, in order
  std::vector<unsigned char> record; // a copy of the record passed, if any
  HRESULT result = 0;                // what the fake answered
  std::string text;                  // message box text and caption
  std::string caption;

  template <class Record> const Record &As() const {
    return *reinterpret_cast<const Record *>(record.data());
  }
};

struct FakeObject {
  explicit FakeObject(const std::string &kind) : kind(kind) {}
  virtual ~FakeObject() {}
  std::string kind;
  const void *iface = NULL; // the interface pointer the library holds
  long references = 1;
  int overReleases = 0; // Release calls on an object already at 0
};

struct LockAnswer {
  void *address;
  LONG pitch;
};

class FakeSurface;

class FakePlatform {
public:
  void Reset();

  // The next `times` calls of `method` (after `skip` others), on `object` or
  // on any object when it is null, answer `result`.
  void Answer(const std::string &method, HRESULT result, int times = 1,
              int skip = 0, const void *object = NULL);
  HRESULT Next(const std::string &method, const void *object);

  FakeCall &Record(const std::string &name, const void *object,
                   std::vector<uintptr_t> values = {});
  size_t Count(const std::string &name) const;
  const FakeCall *Find(const std::string &name, size_t nth = 0) const;
  std::vector<std::string> Names() const; // the call names, in order

  template <class T> T *Track(T *object) {
    objects.push_back(std::unique_ptr<FakeObject>(object));
    return object;
  }
  long LiveReferences() const;
  int OverReleases() const;
  FakeObject *ObjectOf(const void *iface) const;

  std::vector<FakeCall> calls;
  std::vector<std::unique_ptr<FakeObject>> objects;

  // What the display answers: GetPixelFormat's record and the primary's size.
  DDPIXELFORMAT displayFormat;
  DWORD displayWidth = 640, displayHeight = 480;
  // Answers for the next locks, before each surface's own memory and pitch.
  std::deque<LockAnswer> lockAnswers;
  // The window system.
  RECT clientRect;
  POINT clientOrigin;
  std::set<HANDLE> fakeHandles; // CloseHandle of anything else goes through
  std::set<HWND> deadWindows;   // IsWindow answers FALSE for these and null
  // Device states delivered by GetDeviceState, one per read; when empty a
  // read delivers zeros.
  std::deque<std::vector<unsigned char>> keyboardStates;
  std::deque<std::vector<unsigned char>> mouseStates;
  // Buffered events delivered by GetDeviceData, oldest first, as many as
  // each call asks for; and how many each kind has delivered in all.
  std::deque<DIDEVICEOBJECTDATA> keyboardEvents, mouseEvents;
  size_t keyboardEventsDelivered = 0, mouseEventsDelivered = 0;
  // What the last successful reads delivered.
  std::vector<unsigned char> lastKeyboardState, lastMouseState;
  // The window subclasses taken natively (on Windows comctl32's own).
  struct Subclass {
    HWND window;
    SUBCLASSPROC proc;
    UINT_PTR id;
    DWORD_PTR data;
  };
  std::vector<Subclass> subclasses;
  // The scripted answers given, in order.
  std::vector<HRESULT> answered;

private:
  struct Scripted {
    std::string method;
    const void *object;
    HRESULT result;
    int skip;
  };
  std::deque<Scripted> script_;
};

extern FakePlatform fake;

// The display format as GetPixelFormat reports it.
void SetDisplayFormat(DWORD bits, DWORD red, DWORD green, DWORD blue);

#endif
