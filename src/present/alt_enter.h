// Alt+Enter as both builds decide it: which key messages are the library's,
// the Return they hide from the client, and where each press takes the
// window. Each build notes its windows' keys in an AltEnter and makes the
// moves its own way (Windows: src/window/; natively the stand-in).
#ifndef LURN_ALT_ENTER_H
#define LURN_ALT_ENTER_H

struct AltEnter {
  unsigned presses;        // noted, not yet applied
  bool switched;           // the window is away from where its client set it up
  bool switchedFullScreen; // ... by a full-screen client's press
  bool returnHeld; // the Return of a taken press is down: not the client's
};

enum AltEnterKey { kAltEnterKeyDown, kAltEnterCharacter, kAltEnterKeyUp };

// The one rule for whether a Return is the library's, wherever it is seen
// (a window's key messages, the keyboard's events, a read's state): it is
// Alt+Enter's while the press that took it is held (`pressHeld`), or when
// Alt is held with it.
inline bool ReturnIsAltEnters(bool pressHeld, bool isReturn, bool withAlt) {
  return isReturn && (pressHeld || withAlt);
}

// At a read of the keyboard of a window where Alt+Enter is taken: whether
// the Return the read sees held is the library's, even before the window
// saw the press. A Return the read sees up was let go where the window did
// not see it.
bool ReadReturnIsAltEnters(AltEnter &state, bool returnHeld, bool altHeld);

// A key message of the window: Return or not, what it says, with Alt held,
// an auto-repeat. True when it is the library's: a key-down with Alt (a
// press once per press, not per repeat), and the rest of that press up to
// its release, whether Alt is let go first or not.
bool NoteAltEnterKey(AltEnter &state, bool isReturn, AltEnterKey key,
                     bool withAlt, bool repeat);

// Where the next noted press takes the window.
enum AltEnterMove {
  kAltEnterNone,       // no press is waiting
  kAltEnterCover,      // a window covers its screen
  kAltEnterBack,       // ... and goes back to where it was just before
  kAltEnterModeWindow, // a full-screen client's picture goes into a window
  kAltEnterFullScreen, // ... and back to the full screen
};

// Takes one noted press and says its move, switching `state`. A window
// switched by the other kind of client starts afresh.
AltEnterMove NextAltEnterMove(AltEnter &state, bool fullScreenClient);

#endif
