#include "report_error.h"

#include <stdarg.h>
#include <stdio.h>

#include "../settings/settings.h"
#include "diagnostic.h"

namespace {

struct ErrorName {
  DWORD code;
  const char *name;
};

// DirectDraw's own codes are 0x88760000 plus a number.
const DWORD kDirectDraw = 0x88760000u;

const ErrorName kErrorNames[] = {
    {0x80004001u, "DDERR_UNSUPPORTED"},
    {0x80004005u, "DDERR_GENERIC"},
    {0x800401F0u, "DDERR_NOTINITIALIZED"},
    {0x8007000Eu, "DDERR_OUTOFMEMORY"},
    {0x80070057u, "DDERR_INVALIDPARAMS"},
    {kDirectDraw + 5, "DDERR_ALREADYINITIALIZED"},
    {kDirectDraw + 10, "DDERR_CANNOTATTACHSURFACE"},
    {kDirectDraw + 20, "DDERR_CANNOTDETACHSURFACE"},
    {kDirectDraw + 40, "DDERR_CURRENTLYNOTAVAIL"},
    {kDirectDraw + 55, "DDERR_EXCEPTION"},
    {kDirectDraw + 90, "DDERR_HEIGHTALIGN"},
    {kDirectDraw + 95, "DDERR_INCOMPATIBLEPRIMARY"},
    {kDirectDraw + 100, "DDERR_INVALIDCAPS"},
    {kDirectDraw + 110, "DDERR_INVALIDCLIPLIST"},
    {kDirectDraw + 120, "DDERR_INVALIDMODE"},
    {kDirectDraw + 130, "DDERR_INVALIDOBJECT"},
    {kDirectDraw + 145, "DDERR_INVALIDPIXELFORMAT"},
    {kDirectDraw + 150, "DDERR_INVALIDRECT"},
    {kDirectDraw + 160, "DDERR_LOCKEDSURFACES"},
    {kDirectDraw + 170, "DDERR_NO3D"},
    {kDirectDraw + 180, "DDERR_NOALPHAHW"},
    {kDirectDraw + 205, "DDERR_NOCLIPLIST"},
    {kDirectDraw + 210, "DDERR_NOCOLORCONVHW"},
    {kDirectDraw + 212, "DDERR_NOCOOPERATIVELEVELSET"},
    {kDirectDraw + 215, "DDERR_NOCOLORKEY"},
    {kDirectDraw + 220, "DDERR_NOCOLORKEYHW"},
    {kDirectDraw + 222, "DDERR_NODIRECTDRAWSUPPORT"},
    {kDirectDraw + 225, "DDERR_NOEXCLUSIVEMODE"},
    {kDirectDraw + 230, "DDERR_NOFLIPHW"},
    {kDirectDraw + 240, "DDERR_NOGDI"},
    {kDirectDraw + 250, "DDERR_NOMIRRORHW"},
    {kDirectDraw + 255, "DDERR_NOTFOUND"},
    {kDirectDraw + 260, "DDERR_NOOVERLAYHW"},
    {kDirectDraw + 280, "DDERR_NORASTEROPHW"},
    {kDirectDraw + 290, "DDERR_NOROTATIONHW"},
    {kDirectDraw + 310, "DDERR_NOSTRETCHHW"},
    {kDirectDraw + 316, "DDERR_NOT4BITCOLOR"},
    {kDirectDraw + 317, "DDERR_NOT4BITCOLORINDEX"},
    {kDirectDraw + 320, "DDERR_NOT8BITCOLOR"},
    {kDirectDraw + 330, "DDERR_NOTEXTUREHW"},
    {kDirectDraw + 335, "DDERR_NOVSYNCHW"},
    {kDirectDraw + 340, "DDERR_NOZBUFFERHW"},
    {kDirectDraw + 350, "DDERR_NOZOVERLAYHW"},
    {kDirectDraw + 360, "DDERR_OUTOFCAPS"},
    {kDirectDraw + 380, "DDERR_OUTOFVIDEOMEMORY"},
    {kDirectDraw + 382, "DDERR_OVERLAYCANTCLIP"},
    {kDirectDraw + 384, "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
    {kDirectDraw + 387, "DDERR_PALETTEBUSY"},
    {kDirectDraw + 400, "DDERR_COLORKEYNOTSET"},
    {kDirectDraw + 410, "DDERR_SURFACEALREADYATTACHED"},
    {kDirectDraw + 420, "DDERR_SURFACEALREADYDEPENDENT"},
    {kDirectDraw + 430, "DDERR_SURFACEBUSY"},
    {kDirectDraw + 435, "DDERR_CANTLOCKSURFACE"},
    {kDirectDraw + 440, "DDERR_SURFACEISOBSCURED"},
    {kDirectDraw + 450, "DDERR_SURFACELOST"},
    {kDirectDraw + 460, "DDERR_SURFACENOTATTACHED"},
    {kDirectDraw + 470, "DDERR_TOOBIGHEIGHT"},
    {kDirectDraw + 480, "DDERR_TOOBIGSIZE"},
    {kDirectDraw + 490, "DDERR_TOOBIGWIDTH"},
    {kDirectDraw + 510, "DDERR_UNSUPPORTEDFORMAT"},
    {kDirectDraw + 520, "DDERR_UNSUPPORTEDMASK"},
    {kDirectDraw + 537, "DDERR_VERTICALBLANKINPROGRESS"},
    {kDirectDraw + 540, "DDERR_WASSTILLDRAWING"},
    {kDirectDraw + 560, "DDERR_XALIGN"},
    {kDirectDraw + 561, "DDERR_INVALIDDIRECTDRAWGUID"},
    {kDirectDraw + 562, "DDERR_DIRECTDRAWALREADYCREATED"},
    {kDirectDraw + 563, "DDERR_NODIRECTDRAWHW"},
    {kDirectDraw + 564, "DDERR_PRIMARYSURFACEALREADYEXISTS"},
    {kDirectDraw + 565, "DDERR_NOEMULATION"},
    {kDirectDraw + 566, "DDERR_REGIONTOOSMALL"},
    {kDirectDraw + 567, "DDERR_CLIPPERISUSINGHWND"},
    {kDirectDraw + 568, "DDERR_NOCLIPPERATTACHED"},
    {kDirectDraw + 569, "DDERR_NOHWND"},
    {kDirectDraw + 570, "DDERR_HWNDSUBCLASSED"},
    {kDirectDraw + 571, "DDERR_HWNDALREADYSET"},
    {kDirectDraw + 572, "DDERR_NOPALETTEATTACHED"},
    {kDirectDraw + 573, "DDERR_NOPALETTEHW"},
    {kDirectDraw + 574, "DDERR_BLTFASTCANTCLIP"},
    {kDirectDraw + 575, "DDERR_NOBLTHW"},
    {kDirectDraw + 576, "DDERR_NODDROPSHW"},
    {kDirectDraw + 577, "DDERR_OVERLAYNOTVISIBLE"},
    {kDirectDraw + 578, "DDERR_NOOVERLAYDEST"},
    {kDirectDraw + 579, "DDERR_INVALIDPOSITION"},
    {kDirectDraw + 580, "DDERR_NOTAOVERLAYSURFACE"},
    {kDirectDraw + 581, "DDERR_EXCLUSIVEMODEALREADYSET"},
    {kDirectDraw + 582, "DDERR_NOTFLIPPABLE"},
    {kDirectDraw + 583, "DDERR_CANTDUPLICATE"},
    {kDirectDraw + 584, "DDERR_NOTLOCKED"},
    {kDirectDraw + 585, "DDERR_CANTCREATEDC"},
    {kDirectDraw + 586, "DDERR_NODC"},
    {kDirectDraw + 587, "DDERR_WRONGMODE"},
    {kDirectDraw + 588, "DDERR_IMPLICITLYCREATED"},
    {kDirectDraw + 589, "DDERR_NOTPALETTIZED"},
    {kDirectDraw + 590, "DDERR_UNSUPPORTEDMODE"},
    {kDirectDraw + 591, "DDERR_NOMIPMAPHW"},
    {kDirectDraw + 592, "DDERR_INVALIDSURFACETYPE"},
    {kDirectDraw + 620, "DDERR_DCALREADYCREATED"},
    {kDirectDraw + 640, "DDERR_CANTPAGELOCK"},
    {kDirectDraw + 660, "DDERR_CANTPAGEUNLOCK"},
    {kDirectDraw + 680, "DDERR_NOTPAGELOCKED"},
};

// DirectInput's own codes, named in the diagnostic line only: the box
// shows the DirectDraw table's text whatever the side.
const ErrorName kInputErrorNames[] = {
    {0x80004002u, "DIERR_NOINTERFACE"},
    {0x80040110u, "DIERR_NOAGGREGATION"},
    {0x80040154u, "DIERR_DEVICENOTREG"},
    {0x80070005u, "DIERR_OTHERAPPHASPRIO"},
    {0x8007000Cu, "DIERR_NOTACQUIRED"},
    {0x80070015u, "DIERR_NOTINITIALIZED"},
    {0x8007001Eu, "DIERR_INPUTLOST"},
    {0x800700AAu, "DIERR_ACQUIRED"},
    {0x8007047Eu, "DIERR_OLDDIRECTINPUTVERSION"},
    {0x80070481u, "DIERR_BETADIRECTINPUTVERSION"},
    {0x800704DFu, "DIERR_ALREADYINITIALIZED"},
};

// The usual fix, by code; the display and the input side differ where the
// same code means another mistake.
struct Advice {
  DWORD code;
  const char *display;
  const char *input;
  // The display's fix when LURN_KEEP_DESKTOP=0 cleared the bit `display`
  // advises: advising it would send the user round in a circle.
  const char *displayKeepCleared = NULL;
};

const Advice kAdvice[] = {
    // Wine on a plain X screen changes no mode; its virtual desktop does.
    {0x80004001u,
     "use a mode the display offers, or keep the desktop's mode: the "
     "KeepDesktop option bit (0x10) or LURN_KEEP_DESKTOP=1; under Wine, a "
     "virtual desktop changes modes: wine explorer /desktop=NAME,WxH "
     "program.exe",
     NULL,
     "use a mode the display offers; under Wine, a virtual desktop changes "
     "modes: wine explorer /desktop=NAME,WxH program.exe; LURN_KEEP_DESKTOP=0 "
     "in the environment cleared the KeepDesktop option bit (0x10), which "
     "keeps the desktop's mode"},
    {0x80070057u, "pass a real window and a size the platform accepts",
     "pass the program's instance (GetModuleHandle(NULL)) and a real window"},
    {0x8007000Eu, "ask for a smaller size", NULL},
    {0x800401F0u, NULL, "call Open first and go on only when it returned 1"},
    {kDirectDraw + 581,
     "another program or object holds the display full screen; close it "
     "first",
     NULL},
    {kDirectDraw + 563,
     "install Mesa's OpenGL drivers; use a 16- or 24-bit X screen", NULL},
    {kDirectDraw + 160, "the platform gave no memory; report it", NULL},
    {kDirectDraw + 430,
     "the surface is locked elsewhere: unlock before locking again, one "
     "thread per object",
     NULL},
    {0x80070005u, NULL, "another program holds the device exclusively"},
};

const char kCaption[] = "- DirectX Interface Error -";
const char kUnknown[] = "<Inconnue>";

const char *Find(const ErrorName *names, size_t count, HRESULT code) {
  for (size_t i = 0; i < count; ++i)
    if (names[i].code == static_cast<DWORD>(code))
      return names[i].name;
  return NULL;
}

// One diagnostic line (standard error, the debugger's output on Windows and
// LURN_LOG's file): the box says only the code's name, this says where and
// why.
void Diagnose(bool input, HRESULT code, const char *method, const char *format,
              va_list args) {
  char what[256] = "";
  if (format != NULL)
    vsnprintf(what, sizeof what, format, args);
  const char *name = DirectXErrorName(code);
  if (input && name == kUnknown)
    name = DirectInputErrorName(code);
  const char *advice = NULL;
  for (const Advice &entry : kAdvice) {
    if (entry.code != static_cast<DWORD>(code))
      continue;
    advice = input ? entry.input : entry.display;
    if (!input && entry.displayKeepCleared != NULL &&
        ReadSettings().keepDesktop == 0)
      advice = entry.displayKeepCleared;
  }
  SayDiagnostic("lurn: %s: %s (0x%08lX)%s%s%s%s", method, name,
                static_cast<unsigned long>(static_cast<DWORD>(code)),
                *what ? ": " : "", what, advice ? "; " : "",
                advice ? advice : "");
}

int Report(bool input, void *window, HRESULT code, const char *method,
           const char *format, va_list args) {
  Diagnose(input, code, method, format, args);
  // LURN_ERROR_BOX=0 leaves the diagnostic line alone, so that a run with
  // nobody to dismiss a box does not hang on it.
  if (!ReadSettings().errorBox)
    return 0;
  // A box owned by something that is not a window is shown with no owner:
  // the platform would refuse to show it at all.
  HWND owner = static_cast<HWND>(window);
  if (owner != NULL && !IsWindow(owner))
    owner = NULL;
  return MessageBoxA(owner, DirectXErrorName(code), kCaption, MB_ICONERROR);
}

} // namespace

const char *DirectXErrorName(HRESULT code) {
  const char *name =
      Find(kErrorNames, sizeof kErrorNames / sizeof kErrorNames[0], code);
  return name != NULL ? name : kUnknown;
}

const char *DirectInputErrorName(HRESULT code) {
  const char *name =
      Find(kInputErrorNames,
           sizeof kInputErrorNames / sizeof kInputErrorNames[0], code);
  return name != NULL ? name : kUnknown;
}

int ReportDirectXError(void *window, HRESULT code, const char *method,
                       const char *format, ...) {
  va_list args;
  va_start(args, format);
  int result = Report(false, window, code, method, format, args);
  va_end(args);
  return result;
}

int ReportDirectInputError(void *window, HRESULT code, const char *method,
                           const char *format, ...) {
  va_list args;
  va_start(args, format);
  int result = Report(true, window, code, method, format, args);
  va_end(args);
  return result;
}
