// The platform's identifiers and predefined data formats.
#include <ddraw.h>
#include <dinput.h>

const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDirectDraw = {0x6C14DB80,
                             0xA733,
                             0x11CE,
                             {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDraw2 = {0xB3A6F3E0,
                              0x2B43,
                              0x11CF,
                              {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const IID IID_IDirectDrawSurface = {
    0x6C14DB81,
    0xA733,
    0x11CE,
    {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDrawClipper = {
    0x6C14DB85,
    0xA733,
    0x11CE,
    {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectInputA = {
    0x89521360,
    0xAA8A,
    0x11CF,
    {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDeviceA = {
    0x5944E680,
    0xC92E,
    0x11CF,
    {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60,
                            0xD5A0,
                            0x11CF,
                            {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard = {
    0x6F1D2B61,
    0xD5A0,
    0x11CF,
    {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// A property the stand-in's devices know by its address, as the real
// platform knows its small numbers.
const GUID DIPROP_BUFFERSIZE_KEY = {0x00000001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// The stand-in's devices tell the formats apart by their state size.
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT),
                                  sizeof(DIOBJECTDATAFORMAT),
                                  DIDF_RELAXIS,
                                  sizeof(DIMOUSESTATE),
                                  0,
                                  NULL};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT),
                                     sizeof(DIOBJECTDATAFORMAT),
                                     DIDF_RELAXIS,
                                     256,
                                     0,
                                     NULL};
