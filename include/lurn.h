// lurn: a ready-made display and input layer for programs that draw their own
// pixels. On Windows it is a DLL (32- or 64-bit) over DirectDraw and
// DirectInput 5; natively it builds over a stand-in platform on SDL2, with
// the same API.
//
// Both classes are plain records: the client allocates them, calls the
// methods and reads the public fields directly. There are no constructors,
// destructors or virtual functions. A record may be static, zeroed, raw heap
// memory or a plain local full of garbage: Open reads none of the fields of
// a record it did not open itself. Only Open may come first on a record that
// is not zeroed; Close and the other methods read the fields. Opening a
// record again releases what the library stored in it, from the library's
// own list of open records, whatever the fields say now (a record freed
// without Close and its memory reused included). A copy of a record is the
// client's to close; closing it closes the original too, whose next Open
// then starts afresh.
//
// Threads: use each object from one thread; separate objects may be used
// from separate threads where the platform allows it. The library's list
// of open records is shared by all objects, locked by Open and Close.
//
// Every failure that shows an error box also writes one line to standard
// error (and OutputDebugStringA on Windows): the method, the code's name and
// value, what was asked against what was found, and the usual fix. A box's
// owner is the window given, or none when that is not a window. With
// LURN_ERROR_BOX=0 in the environment no box is shown, only the line (for
// runs with nobody at the screen); the method still returns 0.
#ifndef LURN_H
#define LURN_H

// The library's version; the build, the DLL's version resource and the
// package files all take it from here.
#define LURN_VERSION_MAJOR 0
#define LURN_VERSION_MINOR 2
#define LURN_VERSION_PATCH 0
#define LURN_VERSION_STRING "0.2.0"

#ifndef RC_INVOKED // the resource compiler wants the version only

#if defined(LURN_STATIC)
#define LURN_API
#elif defined(_WIN32)
#if defined(LURN_BUILDING_LIBRARY)
#define LURN_API __declspec(dllexport)
#else
#define LURN_API __declspec(dllimport)
#endif
#else
#define LURN_API __attribute__((visibility("default")))
#endif

// The free functions' calling convention, whatever a client's default
// (/Gz, /Gr): one name for every compiler.
#if defined(_WIN32)
#define LURN_CDECL __cdecl
#else
#define LURN_CDECL
#endif

// DirectX's LONG: 32 bits on every platform.
#if defined(_WIN32)
typedef long LurnLong;
#else
typedef int LurnLong;
#endif

// The records keep their natural layout whatever packing the client
// compiles with (/Zp1, -fpack-struct, an open #pragma pack). The pointer's
// size, not 8 everywhere: 32-bit clang-cl takes pack(8) for "the /Zp value".
#if defined(_WIN64) || defined(__LP64__)
#pragma pack(push, 8)
#else
#pragma pack(push, 4)
#endif

// Platform interfaces, only named here: a client that never calls them needs
// no platform header.
struct IDirectDraw;
struct IDirectDraw2;
struct IDirectDrawSurface;
struct IDirectDrawClipper;
struct IDirectInputA;
struct IDirectInputDeviceA;

// The display. Open it windowed or full screen, then per frame:
// ClearSecondaryBuffer, LockSecondaryBuffer, draw through secondaryBits,
// UnlockSecondaryBuffer, UpdatePrimaryBuffer. Close at the end.
class LURN_API LurnDirectDraw {
public:
  // Option bits for Open, kept in `flags`.
  enum {
    ReleaseSecondary = 0x01, // Close releases secondarySurface too
    FullScreen = 0x02,       // exclusive full screen, mode change, flip chain
    AuxSurface = 0x04,       // a second system-memory surface, auxBits
    NoClear = 0x08,          // ClearSecondaryBuffer does nothing
    KeepDesktop = 0x10       // never change the display's mode or depth:
                             // the picture is converted and scaled to the
                             // desktop as it is (LURN_KEEP_DESKTOP=1 or 0
                             // sets or clears it for any program)
  };

  // The platform's interfaces, one reference each while open; null (or
  // never set) otherwise. Natively they are the stand-in's.
  // Drawing on them through these fields: keeping the desktop through GDI
  // on Windows (KeepDesktop, the default LURN_PRESENT=gdi), the display
  // keeps the drawing surface's pixels in the library's memory and makes no
  // DirectDraw call in a frame; UpdatePrimaryBuffer reads them with
  // nothing to order that read after a Blt or BltFast of the
  // client's on secondarySurface or auxSurface, which DirectDraw may still
  // be doing. The library cannot see a call made through a field, and
  // DirectDraw has no cheap question that would tell it (only a lock
  // orders, and a lock a frame is the DirectDraw route's cost). So a client
  // that draws with DirectDraw itself takes the DirectDraw route: it calls
  // GetDD, GetPrimarySurface or GetRenderSurface once after Open (from
  // then on the frames lock, fill and wait as DirectDraw orders them), or
  // runs with LURN_PRESENT=directdraw.
  IDirectDraw *directDraw;              // the DirectDraw object; GetDD
  IDirectDraw2 *directDraw2;            // the same object's second interface
  IDirectDrawSurface *primarySurface;   // the visible surface
  IDirectDrawSurface *secondarySurface; // what the client draws into: the
                                        // back buffer, or windowed an
                                        // off-screen system-memory surface
  IDirectDrawSurface *auxSurface;       // with AuxSurface only
  IDirectDrawClipper *clipper;          // bound to `window`, on the primary
  void *window;         // as given to Open; owner of the error boxes
  void *secondaryBits;  // drawing address from the last lock (windowed Open
                        // fills it too, full-screen Open nulls it); valid
                        // between lock and unlock
  void *auxBits;        // the auxiliary surface's address, likewise
  unsigned short width; // the size and depth given to Open
  unsigned short height;
  unsigned char bitsPerPixel;
  unsigned short pitchPixels; // 16-bit pixels from one line to the next: the
                              // surface's byte pitch halved, whatever the
                              // depth (a 32-bit mode's line of 640 gives
                              // 1280). Windowed, Open sets it from the
                              // drawing surface (641 wide: 644 on Wine);
                              // full screen, the first lock does, and until
                              // then it keeps its old value. Draw with it,
                              // not with width.
  unsigned char redShift;     // the 16-bit layout: red field position,
  unsigned char greenBits;    // green field width (6 for 5-6-5),
  unsigned char blueShift;    // blue field position (0); a pixel is
                              // r << redShift | g << (redShift - greenBits)
                              // | b << blueShift. At 32 bits (windowed on a
                              // 32-bit desktop, full screen at 32) these
                              // three keep their old values: a pixel is
                              // 0x00RRGGBB (masks red 0x00FF0000, green
                              // 0x0000FF00, blue 0x000000FF), a line
                              // pitchPixels / 2 pixels
  unsigned char flags;        // the option bits given to Open, KeepDesktop
                              // as LURN_KEEP_DESKTOP set or cleared it

  // Opens DirectDraw on `window` (natively: the client's SDL_Window*) at
  // width x height x depth. Windowed unless FullScreen: the display must
  // already run at `depth` (else DDERR_INVALIDPIXELFORMAT), unless
  // KeepDesktop lets a 16-bit picture be converted. A handle that is not a
  // window (destroyed, or made up) is DDERR_INVALIDPARAMS before anything
  // is created; so is a null window full screen. A null window is accepted
  // windowed: everything works, but nothing is shown (UpdatePrimaryBuffer
  // returns 1 and presents no pixel).
  // Fills the pixel layout; windowed, also secondaryBits and pitchPixels.
  // Full screen at a depth other than 16 returns 1 and leaves the layout
  // fields as they were. A full-screen width or height of 0 is passed on and
  // the platform accepts it, keeping the mode it had: the flip chain then
  // has the current mode's size (check your sizes). Returns 1, or 0 after
  // showing the error box; then call Close to release what was created.
  int Open(void *window, unsigned short width, unsigned short height,
           unsigned char depth, unsigned char options);
  // Releases every interface the object holds (secondarySurface only with
  // ReleaseSecondary) and nulls its field. Safe on a zeroed or closed object.
  void Close();
  // The stored interfaces, without an added reference. A client that draws
  // on the display's surfaces with DirectDraw itself takes them from here:
  // keeping the desktop through GDI on Windows, the library otherwise
  // writes their pixels without DirectDraw's calls, which under Wine cost
  // more than the whole frame, and would not wait for that drawing.
  IDirectDraw *GetDD();
  IDirectDrawSurface *GetPrimarySurface();
  IDirectDrawSurface *GetRenderSurface();

  // Locks the drawing surface (and the auxiliary one) and stores their
  // addresses and the pitch. Returns 1. A lost surface is restored and
  // costs the frame (0, no box); any other failure closes the object, shows
  // the error box and returns 0. Needs an open object; 0 otherwise.
  int LockSecondaryBuffer();
  // Unlocks what LockSecondaryBuffer locked; call it before presenting.
  void UnlockSecondaryBuffer();
  // Fills the drawing surface with 0 (the auxiliary one with 0x7FFF). Returns
  // 1, or 0 on failure; a lost surface is restored and costs this frame.
  int ClearSecondaryBuffer();
  // Full screen: flips. Windowed: shows the drawing surface in the window's
  // client area, scaled to it. One answer on every route: 1 when the frame
  // was shown or there was nowhere to show it (a window without a client
  // area: destroyed or minimised; one wholly off the screen; a null
  // window), 0 when the platform did not show it (a failed flip, blit,
  // lock or conversion). Lost surfaces are restored: a primary lost to a
  // display mode change costs this frame, and the next one shows.
  // Natively the stand-in converts the picture to the window's pixel
  // format as it scales.
  // A 0 is a lost frame while directDraw is set; once the display has
  // closed itself (a failed lock, with its error box) directDraw is null and
  // the frame calls answer 0: stop the loop.
  int UpdatePrimaryBuffer();
  // Restores lost surfaces: primary, secondary, auxiliary. 1 when all came
  // back, 0 at the first that did not.
  int RestoreSurfaces();
  // The pointer's place in the picture's own pixels (0 to width - 1, 0 to
  // height - 1), mapped through where the last UpdatePrimaryBuffer put the
  // picture: the window's client area as the scale mode fills it, or a full
  // screen. Returns 1 while the pointer is over the picture; otherwise 0
  // with x and y the nearest picture pixel (on the black bars, outside the
  // window). Before the first present nothing is shown: 0 and (0, 0). A
  // closed object, or a pointer the system cannot tell (a destroyed window),
  // gives 0 and leaves x and y as they were. A null x or y is not written.
  int GetCursorPosition(LurnLong *x, LurnLong *y);
};

// Immediate mouse state, DirectInput's DIMOUSESTATE layout (16 bytes).
struct LurnMouseState {
  LurnLong lX; // movement since the previous read
  LurnLong lY;
  LurnLong lZ;                 // wheel, 120 per notch
  unsigned char rgbButtons[4]; // 0x80 while pressed
};

// The keyboard and mouse. Open, then OpenKeyboard and/or OpenMouse; per
// frame GetStateKeyboard / KeyDown and GetStateMouse; Close at the end.
class LURN_API LurnDirectInput {
public:
  void *window;                     // stored by Open for the client
  IDirectInputA *directInput;       // the DirectInput root
  IDirectInputDeviceA *keyboard;    // the system keyboard
  IDirectInputDeviceA *mouse;       // the system mouse
  IDirectInputDeviceA *spareDevice; // a device of the client's own, if it
                                    // sets one: Close tears it down
  unsigned char keyState[256];      // by DirectInput key code (DIK_*, in
                                    // <dinput.h>; natively the stand-in's),
                                    // 0x80 while down
  unsigned char keyboardReleased;   // toggled by SyncAcquireKeyboard
  unsigned char mouseReleased;      // mouse reads refused while non-zero
  unsigned char spareReleased;      // set by Open, for the client
  void *mouseHandle;                // a handle of the client's: closed by Close
                                    // with the mouse, emptied by Open
  LurnMouseState mouseState;        // the last mouse reading

  // Creates the DirectInput root. `instance` is the program's module
  // instance: on Windows DirectInput refuses a null one (pass
  // GetModuleHandle(NULL)); natively it is ignored. Marks both devices
  // released. Returns 1, or 0 after the error box.
  int Open(void *window, void *instance);
  // Create and configure the system mouse / keyboard (non-exclusive,
  // foreground) on `window`, which must be a window (else
  // DDERR_INVALIDPARAMS). Need a successful Open. 1, or 0 after the box.
  int OpenMouse(void *window);
  int OpenKeyboard(void *window);
  // Unacquires and releases every device and the root; nulls the fields.
  void Close();

  // Reads the keyboard into keyState, re-acquiring it when the read fails
  // (a few times at most). 1 when keyState was filled, 0 otherwise.
  // keyState is the state at the moment of the read: a key pressed and let
  // go between two reads is not in it, but KeyPresses counts it.
  int GetStateKeyboard();
  // keyState[key] as last read: 0x80 while the key was down.
  int KeyDown(unsigned char key);
  // How often `key` went down between the two last GetStateKeyboard calls,
  // a press let go before the read included; a held key's auto-repeat is
  // not a press. The keyboard keeps 256 events between two reads; more are
  // lost, which standard error says once. The Return of an Alt+Enter the
  // library takes is no press. The first call starts counting and finds
  // nothing yet: until then a read leaves the device's events alone, and
  // costs only the state's read (under Wine each call to the system is a
  // round trip to its server, which a busy machine makes slow).
  int KeyPresses(unsigned char key);
  // The same, each of the system's auto-repeats of a held key counted as a
  // press too: what a text box's Backspace, Delete, arrows, Home and End
  // need. Counted from the keyboard's window (on Windows its WM_KEYDOWN,
  // through the system's subclass chain): the first call starts listening
  // and finds nothing yet; Close stops.
  int KeyStrokes(unsigned char key);
  // The same for mouse button 0-3 between the two last GetStateMouse calls
  // (0 for any other number). The mouse keeps 1024 events, its motion
  // included. The first call starts counting, as KeyPresses's does.
  int ButtonPresses(int button);
  // The text typed into the keyboard's window since the last call, as
  // UTF-8: what the system's text input makes of the keys (layouts, shift,
  // dead keys, AltGr). Backspace, Tab and Return are keys, not text. Writes
  // at most size - 1 bytes, cut at a whole character, and a terminating
  // zero; what does not fit stays for the next call. Returns the bytes
  // written. The first call starts listening to the window (on Windows its
  // WM_CHAR, through the system's subclass chain) and finds nothing yet;
  // Close stops. Only the window's own thread may start it: from another
  // thread nothing is heard, and one diagnostic line says so. A null
  // buffer or a size below 1 writes nothing and gives 0. A character needs
  // up to 4 bytes: a buffer too small for the next one gives 0 at every
  // call while that character waits (the diagnostic line says so once);
  // use 5 bytes or more.
  int ReadText(char *utf8, int size);
  // Reads the mouse into mouseState once SyncAcquireMouse has acquired it;
  // before that (or after a second SyncAcquireMouse released it) it reads
  // nothing and returns 0, and the diagnostic line says once what to call.
  // A mouse that lost its acquisition (focus lost: DIERR_INPUTLOST on
  // Windows, DIERR_NOTACQUIRED on Wine and natively) is acquired again and
  // read once more: 0, or that read's failure code while the window is in
  // the background. No toggling is needed when the window comes back. The
  // first read after each acquisition (SyncAcquireMouse, or the re-acquire
  // after a loss) reports no motion: lX and lY are 0, the wheel and the
  // buttons as read (Wine may report the pointer's screen position then).
  LurnLong GetStateMouse();
  // Each call toggles the device between acquired and released.
  void SyncAcquireKeyboard();
  void SyncAcquireMouse();
};

#pragma pack(pop)

// Sets one of the library's settings from the program, by the name and the
// value its environment variable takes (see the README's settings table):
// LurnSetSetting("LURN_SCALE", "integer"). Call it before Open: a display
// reads its settings when it opens. The environment still wins, so a player
// can override the program. A null or empty value takes back what the
// program set. Returns 1; 0 for a name or value not understood, which is
// said once on the diagnostic line (standard error), the setting left as
// it was. Safe from any thread.
extern "C" LURN_API int LURN_CDECL LurnSetSetting(const char *name,
                                                  const char *value);

// The layout every client must agree on, checked at compile time in C++98
// too: 32-bit pointers give 48 and 300 bytes, 64-bit ones 88 and 328.
#include <stddef.h>
#define LURN_LAYOUT(name, value, at32, at64)                                   \
  typedef char lurn_layout_##name                                              \
      [(value) == (sizeof(void *) == 4 ? (at32) : (at64)) ? 1 : -1]
LURN_LAYOUT(display, sizeof(LurnDirectDraw), 48, 88);
LURN_LAYOUT(width, offsetof(LurnDirectDraw, width), 36, 72);
LURN_LAYOUT(pitch, offsetof(LurnDirectDraw, pitchPixels), 42, 78);
LURN_LAYOUT(flags, offsetof(LurnDirectDraw, flags), 47, 83);
LURN_LAYOUT(input, sizeof(LurnDirectInput), 300, 328);
LURN_LAYOUT(keyState, offsetof(LurnDirectInput, keyState), 20, 40);
LURN_LAYOUT(mouseHandle, offsetof(LurnDirectInput, mouseHandle), 280, 304);
LURN_LAYOUT(mouseState, offsetof(LurnDirectInput, mouseState), 284, 312);
LURN_LAYOUT(mouse, sizeof(LurnMouseState), 16, 16);
#undef LURN_LAYOUT

#endif // RC_INVOKED
#endif
