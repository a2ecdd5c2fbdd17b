#include "alt_enter.h"

bool NoteAltEnterKey(AltEnter &state, bool isReturn, AltEnterKey key,
                     bool withAlt, bool repeat) {
  if (isReturn && key == kAltEnterKeyDown && withAlt && !repeat) {
    ++state.presses;
    state.returnHeld = true;
    return true;
  }
  if (!ReturnIsAltEnters(state.returnHeld, isReturn, withAlt))
    return false;
  if (key == kAltEnterKeyUp)
    state.returnHeld = false;
  return true;
}

bool ReadReturnIsAltEnters(AltEnter &state, bool returnHeld, bool altHeld) {
  if (!returnHeld)
    state.returnHeld = false;
  return ReturnIsAltEnters(state.returnHeld, returnHeld, altHeld);
}

AltEnterMove NextAltEnterMove(AltEnter &state, bool fullScreenClient) {
  if (state.presses == 0)
    return kAltEnterNone;
  --state.presses;
  if (state.switched && state.switchedFullScreen != fullScreenClient)
    state.switched = false;
  state.switched = !state.switched;
  state.switchedFullScreen = fullScreenClient;
  if (fullScreenClient)
    return state.switched ? kAltEnterModeWindow : kAltEnterFullScreen;
  return state.switched ? kAltEnterCover : kAltEnterBack;
}
