#include "report_error.h"

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

const char kCaption[] = "- DirectX Interface Error -";
const char kUnknown[] = "<Inconnue>";

} // namespace

const char *DirectXErrorName(HRESULT code) {
  for (size_t i = 0; i < sizeof kErrorNames / sizeof kErrorNames[0]; ++i)
    if (kErrorNames[i].code == static_cast<DWORD>(code))
      return kErrorNames[i].name;
  return kUnknown;
}

int ReportDirectXError(void *window, HRESULT code) {
  return MessageBoxA(static_cast<HWND>(window), DirectXErrorName(code),
                     kCaption, MB_ICONERROR);
}
