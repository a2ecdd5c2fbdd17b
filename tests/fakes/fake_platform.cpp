#include "fake_platform.h"

#include <algorithm>

FakePlatform fake;

PacingClock *NewPacingClock(void *) { return new FakeClock(); }

namespace {

uintptr_t Value(const void *pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

template <class Record> void Copy(FakeCall &call, const Record *record) {
  if (record != NULL) {
    const unsigned char *bytes =
        reinterpret_cast<const unsigned char *>(record);
    call.record.assign(bytes, bytes + sizeof(Record));
  }
}

// Reference counting and call recording shared by every fake interface.
template <class Interface> class FakeCom : public Interface, public FakeObject {
public:
  explicit FakeCom(const std::string &kind) : FakeObject(kind) {
    iface = static_cast<Interface *>(this);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override {
    *out = NULL;
    return Answer(Record("QueryInterface", {}), E_NOINTERFACE);
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    Record("AddRef", {});
    return static_cast<ULONG>(++references);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    Record("Release", {});
    if (references == 0) {
      ++overReleases;
      return 0;
    }
    return static_cast<ULONG>(--references);
  }

protected:
  FakeCall &Record(const char *method, std::vector<uintptr_t> values) {
    return fake.Record(kind + "::" + method, iface, values);
  }
  // What the test scripted for this call, else `otherwise`.
  HRESULT Answer(FakeCall &call, HRESULT otherwise = S_OK) {
    HRESULT result = fake.Next(call.name, iface);
    call.result = result != S_OK ? result : otherwise;
    return call.result;
  }
};

class FakeClipper : public FakeCom<ClipperDefaults> {
public:
  FakeClipper() : FakeCom<ClipperDefaults>("IDirectDrawClipper") {}
  HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override {
    return Answer(Record("SetHWnd", {flags, Value(window)}));
  }
};

class FakeSurface : public FakeCom<SurfaceDefaults> {
public:
  // A surface in `format`, or with none the display's: the primary's
  // follows the display, any other keeps the one it was made in.
  FakeSurface(DWORD width, DWORD height, DWORD caps,
              const DDPIXELFORMAT *format = NULL)
      : FakeCom<SurfaceDefaults>("IDirectDrawSurface"), width(width),
        height(height), caps(caps),
        format(format != NULL ? *format : fake.displayFormat) {}
  const DDPIXELFORMAT &Format() const {
    return caps & DDSCAPS_PRIMARYSURFACE ? fake.displayFormat : format;
  }
  // Lines of a system-memory surface start on 8 bytes, as on Wine.
  size_t Pitch() const {
    size_t bytes = (Format().dwRGBBitCount + 7) / 8;
    return (width * (bytes != 0 ? bytes : 1) + 7) & ~size_t(7);
  }
  HRESULT STDMETHODCALLTYPE Blt(LPRECT dest, LPDIRECTDRAWSURFACE source,
                                LPRECT sourceRect, DWORD flags,
                                LPDDBLTFX fx) override {
    FakeCall &call = Record(
        "Blt", {Value(dest), Value(source), Value(sourceRect), flags, Value(fx),
                fx ? fx->dwSize : 0, fx ? fx->dwFillColor : 0});
    Copy(call, dest);
    if (sourceRect != NULL) // then values 7 to 10
      for (LONG edge : {sourceRect->left, sourceRect->top, sourceRect->right,
                        sourceRect->bottom})
        call.values.push_back(uintptr_t(edge));
    return Answer(call);
  }
  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target,
                                 DWORD flags) override {
    return Answer(Record("Flip", {Value(target), flags}));
  }
  HRESULT STDMETHODCALLTYPE
  GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE *out) override {
    HRESULT result =
        Answer(Record("GetAttachedSurface", {caps ? caps->dwCaps : 0}));
    if (result != DD_OK)
      return result;
    if (backBuffer == NULL)
      return DDERR_NOTFOUND;
    backBuffer->references++;
    *out = backBuffer;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override {
    FakeCall &call = Record("GetPixelFormat", {});
    Copy(call, format);
    HRESULT result = Answer(call);
    if (result == DD_OK)
      *format = Format();
    return result;
  }
  HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                 HANDLE event) override {
    FakeCall &call = Record("Lock", {Value(rect), flags, Value(event)});
    Copy(call, desc);
    HRESULT result = Answer(call);
    if (result != DD_OK)
      return result;
    // The memory is made at the first lock: most surfaces are never drawn.
    if (memory.empty())
      memory.resize(std::max<size_t>(16, Pitch() * height));
    desc->lpSurface = memory.data();
    desc->lPitch = static_cast<LONG>(Pitch());
    if (given != NULL) { // SetSurfaceDesc's memory
      desc->lpSurface = given;
      desc->lPitch = givenPitch;
    }
    if (!fake.lockAnswers.empty()) {
      desc->lpSurface = fake.lockAnswers.front().address;
      desc->lPitch = fake.lockAnswers.front().pitch;
      fake.lockAnswers.pop_front();
    }
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE Restore() override {
    return Answer(Record("Restore", {}));
  }
  // Not recorded: every windowed present asks it, which would only pad
  // every call list.
  HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    desc->dwWidth = width;
    desc->dwHeight = height;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override {
    return Answer(Record("SetClipper", {Value(clipper)}));
  }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID address) override {
    return Answer(Record("Unlock", {Value(address)}));
  }

#if defined(_WIN32)
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override;
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = FakeCom<SurfaceDefaults>::Release();
    if (left == 0)
      DropPrivateData();
    return left;
  }
  ~FakeSurface() override { DropPrivateData(); }
  void DropPrivateData() {
    if (privateData != NULL)
      privateData->Release();
    privateData = NULL;
    given = NULL; // the memory went with it
  }
#endif

  DWORD width, height, caps;
  DDPIXELFORMAT format;
  std::vector<uint8_t> memory;
  FakeSurface *backBuffer = NULL;
  void *given = NULL; // memory given by SetSurfaceDesc, at its pitch
  LONG givenPitch = 0;
  IUnknown *privateData = NULL; // held until the surface goes
};

#if defined(_WIN32)
// A surface's later interfaces, as far as the library's own memory asks
// them: SetSurfaceDesc gives the surface memory, which its locks then give;
// private data given as an interface is held until the surface goes.
class FakeSurface3 : public FakeCom<Surface3Defaults> {
public:
  explicit FakeSurface3(FakeSurface &surface)
      : FakeCom<Surface3Defaults>("IDirectDrawSurface3"), surface(surface) {}
  HRESULT STDMETHODCALLTYPE SetSurfaceDesc(LPDDSURFACEDESC desc,
                                           DWORD flags) override {
    FakeCall &call =
        Record("SetSurfaceDesc", {desc->dwFlags, DWORD(desc->lPitch), flags});
    HRESULT result = Answer(call);
    if (result == DD_OK) {
      surface.given = desc->lpSurface;
      surface.givenPitch = desc->lPitch;
    }
    return result;
  }
  FakeSurface &surface;
};

class FakeSurface4 : public FakeCom<Surface4Defaults> {
public:
  explicit FakeSurface4(FakeSurface &surface)
      : FakeCom<Surface4Defaults>("IDirectDrawSurface4"), surface(surface) {}
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, LPVOID data, DWORD size,
                                           DWORD flags) override {
    HRESULT result = Answer(Record("SetPrivateData", {size, flags}));
    if (result == DD_OK && (flags & DDSPD_IUNKNOWNPOINTER)) {
      surface.DropPrivateData();
      surface.privateData = static_cast<IUnknown *>(data);
      surface.privateData->AddRef();
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override {
    HRESULT result = Answer(Record("FreePrivateData", {}));
    if (result == DD_OK)
      surface.DropPrivateData();
    return result;
  }
  FakeSurface &surface;
};

HRESULT FakeSurface::QueryInterface(REFIID riid, void **out) {
  *out = NULL;
  HRESULT result = Answer(Record("QueryInterface", {}));
  if (result != DD_OK || !fake.laterSurfaces)
    return result != DD_OK ? result : E_NOINTERFACE;
  if (riid == IID_IDirectDrawSurface3)
    *out =
        static_cast<IDirectDrawSurface3 *>(fake.Track(new FakeSurface3(*this)));
  else if (riid == IID_IDirectDrawSurface4)
    *out =
        static_cast<IDirectDrawSurface4 *>(fake.Track(new FakeSurface4(*this)));
  return *out != NULL ? DD_OK : E_NOINTERFACE;
}
#endif

class FakeDirectDraw2 : public FakeCom<DirectDraw2Defaults> {
public:
  FakeDirectDraw2() : FakeCom<DirectDraw2Defaults>("IDirectDraw2") {}
};

class FakeDirectDraw : public FakeCom<DirectDrawDefaults> {
public:
  FakeDirectDraw() : FakeCom<DirectDrawDefaults>("IDirectDraw") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
    FakeCall &call = Record("QueryInterface", {});
    Copy(call, &riid);
    HRESULT result = Answer(call);
    if (result != DD_OK)
      return result;
    if (riid != IID_IDirectDraw2)
      return E_NOINTERFACE;
    *out = static_cast<IDirectDraw2 *>(fake.Track(new FakeDirectDraw2));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER *out,
                                          IUnknown *outer) override {
    HRESULT result =
        Answer(Record("CreateClipper", {flags, Value(out), Value(outer)}));
    if (result == DD_OK)
      *out = fake.Track(new FakeClipper);
    return result;
  }
  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc,
                                          LPDIRECTDRAWSURFACE *out,
                                          IUnknown *outer) override {
    FakeCall &call = Record("CreateSurface", {Value(out), Value(outer)});
    Copy(call, desc);
    HRESULT result = Answer(call);
    if (result != DD_OK)
      return result;
    DWORD caps = desc->ddsCaps.dwCaps;
    FakeSurface *surface;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
      surface = new FakeSurface(fake.displayWidth, fake.displayHeight, caps);
      if (caps & DDSCAPS_FLIP) {
        // The back buffer belongs to the chain: the primary's reference.
        surface->backBuffer = fake.Track(new FakeSurface(
            fake.displayWidth, fake.displayHeight, DDSCAPS_BACKBUFFER));
        surface->backBuffer->references = 0;
      }
    } else {
      surface = new FakeSurface(
          desc->dwWidth, desc->dwHeight, caps,
          desc->dwFlags & DDSD_PIXELFORMAT ? &desc->ddpfPixelFormat : NULL);
      // A platform's memory has an end: a surface past 16 MB is refused.
      if (surface->Pitch() * desc->dwHeight > (size_t(16) << 20)) {
        delete surface;
        call.result = DDERR_OUTOFMEMORY;
        fake.answered.push_back(call.result);
        return call.result;
      }
    }
    *out = fake.Track(surface);
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driver, LPDDCAPS hel) override {
    FakeCall &call = Record("GetCaps", {Value(driver), Value(hel)});
    Copy(call, driver);
    return Answer(call);
  }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window,
                                                DWORD flags) override {
    return Answer(Record("SetCooperativeLevel", {Value(window), flags}));
  }
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height,
                                           DWORD bpp) override {
    return Answer(Record("SetDisplayMode", {width, height, bpp}));
  }
};

class FakeInputDevice : public FakeCom<InputDeviceDefaults> {
public:
  explicit FakeInputDevice(bool keyboard)
      : FakeCom<InputDeviceDefaults>("IDirectInputDeviceA"),
        keyboard(keyboard) {}
  HRESULT STDMETHODCALLTYPE Acquire() override {
    return Answer(Record("Acquire", {}));
  }
  HRESULT STDMETHODCALLTYPE Unacquire() override {
    return Answer(Record("Unacquire", {}));
  }
  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
    HRESULT result = Answer(Record("GetDeviceState", {size, Value(data)}));
    std::deque<std::vector<unsigned char>> &states =
        keyboard ? fake.keyboardStates : fake.mouseStates;
    if (FAILED(result))
      return result;
    memset(data, 0, size);
    if (!states.empty()) {
      memcpy(data, states.front().data(),
             std::min<size_t>(size, states.front().size()));
      states.pop_front();
    }
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    (keyboard ? fake.lastKeyboardState : fake.lastMouseState)
        .assign(bytes, bytes + size);
    return result;
  }
  HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property,
                                        LPCDIPROPHEADER header) override {
    FakeCall &call = Record("SetProperty", {Value(&property), Value(header)});
    if (header != NULL && header->dwSize == sizeof(DIPROPDWORD))
      Copy(call, reinterpret_cast<const DIPROPDWORD *>(header));
    return Answer(call);
  }
  HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD size, LPDIDEVICEOBJECTDATA data,
                                          LPDWORD count, DWORD flags) override {
    HRESULT result = Answer(Record(
        "GetDeviceData", {size, Value(data), count ? *count : 0, flags}));
    if (FAILED(result))
      return result;
    std::deque<DIDEVICEOBJECTDATA> &events =
        keyboard ? fake.keyboardEvents : fake.mouseEvents;
    DWORD given = 0;
    for (; given < *count && !events.empty(); ++given) {
      if (data != NULL) // else dropped unread, as the platform does
        memcpy(reinterpret_cast<unsigned char *>(data) + size_t(size) * given,
               &events.front(), sizeof(DIDEVICEOBJECTDATA));
      events.pop_front();
    }
    *count = given;
    if (data != NULL)
      (keyboard ? fake.keyboardEventsDelivered : fake.mouseEventsDelivered) +=
          given;
    return result;
  }
  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
    return Answer(Record("SetDataFormat", {Value(format)}));
  }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window,
                                                DWORD flags) override {
    return Answer(Record("SetCooperativeLevel", {Value(window), flags}));
  }
  bool keyboard;
};

class FakeDirectInput : public FakeCom<DirectInputDefaults> {
public:
  FakeDirectInput() : FakeCom<DirectInputDefaults>("IDirectInputA") {}
  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid,
                                         LPDIRECTINPUTDEVICEA *out,
                                         LPUNKNOWN outer) override {
    FakeCall &call = Record("CreateDevice", {Value(out), Value(outer)});
    Copy(call, &guid);
    HRESULT result = Answer(call);
    if (SUCCEEDED(result))
      *out = fake.Track(new FakeInputDevice(guid == GUID_SysKeyboard));
    return result;
  }
};

} // namespace

void FakePlatform::Reset() {
  laterSurfaces = false;
  calls.clear();
  objects.clear();
  script_.clear();
  lockAnswers.clear();
  keyboardStates.clear();
  mouseStates.clear();
  keyboardEvents.clear();
  mouseEvents.clear();
  keyboardEventsDelivered = mouseEventsDelivered = 0;
  lastKeyboardState.clear();
  lastMouseState.clear();
  answered.clear();
  fakeHandles.clear();
  deadWindows.clear();
  displayWidth = 640;
  displayHeight = 480;
  SetDisplayFormat(16, 0xF800, 0x07E0, 0x001F);
  clientRect.left = 0;
  clientRect.top = 0;
  clientRect.right = 640;
  clientRect.bottom = 480;
  clientOrigin.x = 0;
  clientOrigin.y = 0;
  cursor.x = 0;
  cursor.y = 0;
  windows.clear();
  monitors.assign(1, Monitor{RECT{0, 0, 640, 480}, 60, 96}); // the primary's
  threadAwareness = 0;
  dwmRate[0] = dwmRate[1] = 0;
  dwmVBlank = 0;
  absent.clear();
  codePage = 1252;
  posted.clear();
}

void FakePlatform::Answer(const std::string &method, HRESULT result, int times,
                          int skip, const void *object) {
  for (int i = 0; i < times; ++i)
    script_.push_back(Scripted{method, object, result, i == 0 ? skip : 0});
}

HRESULT FakePlatform::Next(const std::string &method, const void *object) {
  for (std::deque<Scripted>::iterator it = script_.begin(); it != script_.end();
       ++it) {
    if (it->method != method || (it->object != NULL && it->object != object))
      continue;
    if (it->skip > 0) {
      --it->skip;
      return S_OK;
    }
    HRESULT result = it->result;
    script_.erase(it);
    answered.push_back(result);
    return result;
  }
  return S_OK;
}

FakeCall &FakePlatform::Record(const std::string &name, const void *object,
                               std::vector<uintptr_t> values) {
  FakeCall call;
  call.name = name;
  call.object = object;
  call.values = values;
  calls.push_back(call);
  return calls.back();
}

size_t FakePlatform::Count(const std::string &name) const {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const FakeCall &call) { return call.name == name; });
}

const FakeCall *FakePlatform::Find(const std::string &name, size_t nth) const {
  for (const FakeCall &call : calls)
    if (call.name == name && nth-- == 0)
      return &call;
  return NULL;
}

std::vector<std::string> FakePlatform::Names() const {
  std::vector<std::string> names;
  for (const FakeCall &call : calls)
    names.push_back(call.name);
  return names;
}

long FakePlatform::LiveReferences() const {
  long total = 0;
  for (const std::unique_ptr<FakeObject> &object : objects)
    total += object->references;
  return total;
}

int FakePlatform::OverReleases() const {
  int total = 0;
  for (const std::unique_ptr<FakeObject> &object : objects)
    total += object->overReleases;
  return total;
}

FakeObject *FakePlatform::ObjectOf(const void *iface) const {
  for (const std::unique_ptr<FakeObject> &object : objects)
    if (object->iface == iface)
      return object.get();
  return NULL;
}

void SetDisplayFormat(DWORD bits, DWORD red, DWORD green, DWORD blue) {
  memset(&fake.displayFormat, 0, sizeof fake.displayFormat);
  fake.displayFormat.dwSize = sizeof fake.displayFormat;
  fake.displayFormat.dwFlags = DDPF_RGB;
  fake.displayFormat.dwRGBBitCount = bits;
  fake.displayFormat.dwRBitMask = red;
  fake.displayFormat.dwGBitMask = green;
  fake.displayFormat.dwBBitMask = blue;
}

// The platform's free functions.

HRESULT WINAPI DirectDrawCreate(GUID *driver, LPDIRECTDRAW *out,
                                IUnknown *outer) {
  fake.Record("DirectDrawCreate", NULL, {Value(driver), Value(outer)});
  HRESULT result = fake.Next("DirectDrawCreate", NULL);
  if (result == DD_OK)
    *out = fake.Track(new FakeDirectDraw);
  return result;
}

HRESULT WINAPI DirectInputCreateA(HINSTANCE instance, DWORD version,
                                  LPDIRECTINPUTA *out, LPUNKNOWN outer) {
  fake.Record("DirectInputCreateA", NULL,
              {Value(instance), version, Value(outer)});
  HRESULT result = fake.Next("DirectInputCreateA", NULL);
  if (SUCCEEDED(result))
    *out = fake.Track(new FakeDirectInput);
  return result;
}
