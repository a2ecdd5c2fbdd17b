#include "alt_enter.h"

bool NoteAltEnterKey(AltEnter &state, bool isReturn, AltEnterKey key,
                     bool withAlt, bool repeat) {
  if (!isReturn)
    return false;
  if (key == kAltEnterKeyDown && withAlt && !repeat) {
    ++state.presses;
    state.returnHeld = true;
    return true;
  }
  if (!state.returnHeld && !withAlt)
    return false;
  if (key == kAltEnterKeyUp)
    state.returnHeld = false;
  return true;
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
