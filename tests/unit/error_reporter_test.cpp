#include <string.h>

#include "test_support.h"

namespace {

struct NamedCode {
  unsigned long code;
  const char *name;
};

class ErrorReporter : public FakePlatformTest {};

TEST_F(ErrorReporter, NamesCodesByExactValue) {
  const NamedCode rows[] = {
      {0x887601C2, "DDERR_SURFACELOST"},
      {0x80070057, "DDERR_INVALIDPARAMS"},
      {0x80004001, "DDERR_UNSUPPORTED"},
      {0x80004005, "DDERR_GENERIC"},
      {0x800401F0, "DDERR_NOTINITIALIZED"},
      {0x8007000E, "DDERR_OUTOFMEMORY"},
      {0x88760005, "DDERR_ALREADYINITIALIZED"},
      {0x88760091, "DDERR_INVALIDPIXELFORMAT"},
      {0x887600A0, "DDERR_LOCKEDSURFACES"},
      {0x8876021C, "DDERR_WASSTILLDRAWING"},
      {0x8876024B, "DDERR_WRONGMODE"},
      {0x887602A8, "DDERR_NOTPAGELOCKED"},
      {0, "<Inconnue>"},
      {1, "<Inconnue>"},
      {0x88760001, "<Inconnue>"}, // DirectDraw range, unlisted
      {0x887602A9, "<Inconnue>"}, // past the last listed code
      {0x8007001E, "<Inconnue>"}, // DIERR_INPUTLOST
      {0x8007000C, "<Inconnue>"}, // DIERR_NOTACQUIRED
      {0x087601C2, "<Inconnue>"}, // DDERR_SURFACELOST's low bits only
  };
  for (const NamedCode &row : rows)
    EXPECT_STREQ(row.name, DirectXErrorName(static_cast<HRESULT>(row.code)))
        << "code " << Hex(row.code);
}

TEST_F(ErrorReporter, KnowsNinetyFiveDirectDrawCodesAndFiveShared) {
  int named = 0;
  for (unsigned long number = 0; number < 0x10000; ++number)
    if (strcmp(DirectXErrorName(static_cast<HRESULT>(0x88760000 + number)),
               "<Inconnue>") != 0)
      ++named;
  EXPECT_EQ(95, named);
  const unsigned long shared[] = {0x80004001, 0x80004005, 0x800401F0,
                                  0x8007000E, 0x80070057};
  for (unsigned long code : shared)
    EXPECT_STRNE("<Inconnue>", DirectXErrorName(static_cast<HRESULT>(code)))
        << Hex(code);
}

TEST_F(ErrorReporter, ShowsTheNameInAStopBoxOwnedByTheWindow) {
  int shown = ReportDirectXError(TestWindow(), DDERR_SURFACELOST, "Open", NULL);
  ASSERT_EQ(1u, fake.Count("MessageBoxA"));
  const FakeCall &box = *fake.Find("MessageBoxA");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(TestWindow()), box.values[0]);
  EXPECT_EQ("DDERR_SURFACELOST", box.text);
  EXPECT_EQ("- DirectX Interface Error -", box.caption);
  EXPECT_EQ(Hex(0x10), Hex(box.values[1])) << "stop icon, OK button";
  EXPECT_EQ(IDOK, shown) << "the box's own result";
}

TEST_F(ErrorReporter, ShowsAnOwnerlessBoxForANullWindow) {
  ReportDirectXError(NULL, 0, "LockSecondaryBuffer", NULL);
  ASSERT_EQ(1u, fake.Count("MessageBoxA"));
  EXPECT_EQ(0u, fake.Find("MessageBoxA")->values[0]);
  EXPECT_EQ("<Inconnue>", fake.Find("MessageBoxA")->text);
}

struct DiagnosticRow {
  bool input;
  unsigned long code;
  const char *what; // null: none
  const char *box;
  const char *head;                 // the line up to its advice, exactly
  std::vector<const char *> advice; // what the advice names; none: no advice
  const char *neverSaid = nullptr;  // what it must not advise
  const char *keepDesktop = "";     // LURN_KEEP_DESKTOP meanwhile ("": unset)
};

// One line per reported failure: method, name, code, what, then the usual
// fix where there is one. The box keeps the DirectDraw table's text;
// DirectInput's own codes get their name in the line only.
TEST_F(ErrorReporter, EveryReportWritesOneDiagnosticLine) {
  const DiagnosticRow rows[] = {
      {false,
       0x80004001,
       "full screen 1x1 at 16 bits",
       "DDERR_UNSUPPORTED",
       "lurn: M: DDERR_UNSUPPORTED (0x80004001): full screen 1x1 at 16 bits",
       {"KeepDesktop", "LURN_KEEP_DESKTOP=1", "explorer /desktop="}},
      // Not the bit the environment cleared: that would go round in a circle.
      {false,
       0x80004001,
       NULL,
       "DDERR_UNSUPPORTED",
       "lurn: M: DDERR_UNSUPPORTED (0x80004001)",
       {"explorer /desktop=", "LURN_KEEP_DESKTOP=0"},
       "LURN_KEEP_DESKTOP=1",
       "0"},
      // The same code is another mistake on each side.
      {false,
       0x80070057,
       "x",
       "DDERR_INVALIDPARAMS",
       "lurn: M: DDERR_INVALIDPARAMS (0x80070057): x",
       {"window"},
       "GetModuleHandle"},
      {true,
       0x80070057,
       "x",
       "DDERR_INVALIDPARAMS",
       "lurn: M: DDERR_INVALIDPARAMS (0x80070057): x",
       {"GetModuleHandle", "window"}},
      {true,
       0x8007047E,
       NULL,
       "<Inconnue>",
       "lurn: M: DIERR_OLDDIRECTINPUTVERSION (0x8007047E)",
       {}},
      {false,
       0x8007001E,
       NULL,
       "<Inconnue>",
       "lurn: M: <Inconnue> (0x8007001E)",
       {}},
  };
  for (const DiagnosticRow &row : rows) {
    SCOPED_TRACE(Hex(row.code));
    SetUp();
    SetVariable("LURN_KEEP_DESKTOP", row.keepDesktop);
    HRESULT code = static_cast<HRESULT>(row.code);
    if (row.input)
      ReportDirectInputError(TestWindow(), code, "M", row.what ? "%s" : NULL,
                             row.what);
    else
      ReportDirectXError(TestWindow(), code, "M", row.what ? "%s" : NULL,
                         row.what);
    SetVariable("LURN_KEEP_DESKTOP", "");
    EXPECT_EQ(std::vector<std::string>{row.box}, Boxes());
    std::vector<std::string> lines = Diagnostics();
    ASSERT_EQ(1u, lines.size());
    const std::string &line = lines[0];
    if (row.advice.empty()) {
      EXPECT_EQ(row.head, line);
      continue;
    }
    ASSERT_EQ(0u, line.find(std::string(row.head) + "; ")) << line;
    std::string advice = line.substr(strlen(row.head) + 2);
    for (const char *named : row.advice)
      EXPECT_NE(std::string::npos, advice.find(named))
          << "no " << named << " in: " << advice;
    if (row.neverSaid != nullptr) {
      EXPECT_EQ(std::string::npos, advice.find(row.neverSaid)) << advice;
    }
  }
}

#if defined(_WIN32)
// The platform's own headers agree with every name in the table.
#define ROW(name)                                                              \
  { static_cast<unsigned long>(name), #name }
TEST_F(ErrorReporter, AgreesWithThePlatformHeaders) {
  const NamedCode rows[] = {
      ROW(DDERR_UNSUPPORTED),
      ROW(DDERR_GENERIC),
      ROW(DDERR_NOTINITIALIZED),
      ROW(DDERR_OUTOFMEMORY),
      ROW(DDERR_INVALIDPARAMS),
      ROW(DDERR_ALREADYINITIALIZED),
      ROW(DDERR_CANNOTATTACHSURFACE),
      ROW(DDERR_CANNOTDETACHSURFACE),
      ROW(DDERR_CURRENTLYNOTAVAIL),
      ROW(DDERR_EXCEPTION),
      ROW(DDERR_HEIGHTALIGN),
      ROW(DDERR_INCOMPATIBLEPRIMARY),
      ROW(DDERR_INVALIDCAPS),
      ROW(DDERR_INVALIDCLIPLIST),
      ROW(DDERR_INVALIDMODE),
      ROW(DDERR_INVALIDOBJECT),
      ROW(DDERR_INVALIDPIXELFORMAT),
      ROW(DDERR_INVALIDRECT),
      ROW(DDERR_LOCKEDSURFACES),
      ROW(DDERR_NO3D),
      ROW(DDERR_NOALPHAHW),
      ROW(DDERR_NOCLIPLIST),
      ROW(DDERR_NOCOLORCONVHW),
      ROW(DDERR_NOCOOPERATIVELEVELSET),
      ROW(DDERR_NOCOLORKEY),
      ROW(DDERR_NOCOLORKEYHW),
      ROW(DDERR_NODIRECTDRAWSUPPORT),
      ROW(DDERR_NOEXCLUSIVEMODE),
      ROW(DDERR_NOFLIPHW),
      ROW(DDERR_NOGDI),
      ROW(DDERR_NOMIRRORHW),
      ROW(DDERR_NOTFOUND),
      ROW(DDERR_NOOVERLAYHW),
      ROW(DDERR_NORASTEROPHW),
      ROW(DDERR_NOROTATIONHW),
      ROW(DDERR_NOSTRETCHHW),
      ROW(DDERR_NOT4BITCOLOR),
      ROW(DDERR_NOT4BITCOLORINDEX),
      ROW(DDERR_NOT8BITCOLOR),
      ROW(DDERR_NOTEXTUREHW),
      ROW(DDERR_NOVSYNCHW),
      ROW(DDERR_NOZBUFFERHW),
      ROW(DDERR_NOZOVERLAYHW),
      ROW(DDERR_OUTOFCAPS),
      ROW(DDERR_OUTOFVIDEOMEMORY),
      ROW(DDERR_OVERLAYCANTCLIP),
      ROW(DDERR_OVERLAYCOLORKEYONLYONEACTIVE),
      ROW(DDERR_PALETTEBUSY),
      ROW(DDERR_COLORKEYNOTSET),
      ROW(DDERR_SURFACEALREADYATTACHED),
      ROW(DDERR_SURFACEALREADYDEPENDENT),
      ROW(DDERR_SURFACEBUSY),
      ROW(DDERR_CANTLOCKSURFACE),
      ROW(DDERR_SURFACEISOBSCURED),
      ROW(DDERR_SURFACELOST),
      ROW(DDERR_SURFACENOTATTACHED),
      ROW(DDERR_TOOBIGHEIGHT),
      ROW(DDERR_TOOBIGSIZE),
      ROW(DDERR_TOOBIGWIDTH),
      ROW(DDERR_UNSUPPORTEDFORMAT),
      ROW(DDERR_UNSUPPORTEDMASK),
      ROW(DDERR_VERTICALBLANKINPROGRESS),
      ROW(DDERR_WASSTILLDRAWING),
      ROW(DDERR_XALIGN),
      ROW(DDERR_INVALIDDIRECTDRAWGUID),
      ROW(DDERR_DIRECTDRAWALREADYCREATED),
      ROW(DDERR_NODIRECTDRAWHW),
      ROW(DDERR_PRIMARYSURFACEALREADYEXISTS),
      ROW(DDERR_NOEMULATION),
      ROW(DDERR_REGIONTOOSMALL),
      ROW(DDERR_CLIPPERISUSINGHWND),
      ROW(DDERR_NOCLIPPERATTACHED),
      ROW(DDERR_NOHWND),
      ROW(DDERR_HWNDSUBCLASSED),
      ROW(DDERR_HWNDALREADYSET),
      ROW(DDERR_NOPALETTEATTACHED),
      ROW(DDERR_NOPALETTEHW),
      ROW(DDERR_BLTFASTCANTCLIP),
      ROW(DDERR_NOBLTHW),
      ROW(DDERR_NODDROPSHW),
      ROW(DDERR_OVERLAYNOTVISIBLE),
      ROW(DDERR_NOOVERLAYDEST),
      ROW(DDERR_INVALIDPOSITION),
      ROW(DDERR_NOTAOVERLAYSURFACE),
      ROW(DDERR_EXCLUSIVEMODEALREADYSET),
      ROW(DDERR_NOTFLIPPABLE),
      ROW(DDERR_CANTDUPLICATE),
      ROW(DDERR_NOTLOCKED),
      ROW(DDERR_CANTCREATEDC),
      ROW(DDERR_NODC),
      ROW(DDERR_WRONGMODE),
      ROW(DDERR_IMPLICITLYCREATED),
      ROW(DDERR_NOTPALETTIZED),
      ROW(DDERR_UNSUPPORTEDMODE),
      ROW(DDERR_NOMIPMAPHW),
      ROW(DDERR_INVALIDSURFACETYPE),
      ROW(DDERR_DCALREADYCREATED),
      ROW(DDERR_CANTPAGELOCK),
      ROW(DDERR_CANTPAGEUNLOCK),
      ROW(DDERR_NOTPAGELOCKED),
  };
  EXPECT_EQ(100u, sizeof rows / sizeof rows[0]);
  for (const NamedCode &row : rows)
    EXPECT_STREQ(row.name, DirectXErrorName(static_cast<HRESULT>(row.code)))
        << "code " << Hex(row.code);
}

#undef ROW
#endif

} // namespace
