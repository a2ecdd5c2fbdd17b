// The library's one way of telling the user about a failure: a modal box
// with the code's DirectDraw name, and one diagnostic line with the details.
#ifndef LURN_REPORT_ERROR_H
#define LURN_REPORT_ERROR_H

#include <windows.h>

// The DirectDraw name of a result code, or "<Inconnue>" for any code
// outside the table (success codes included).
const char *DirectXErrorName(HRESULT code);
// DirectInput's name for a code of its own, or "<Inconnue>".
const char *DirectInputErrorName(HRESULT code);

// Writes "lurn: METHOD: NAME (0xCODE): WHAT; ADVICE" to standard error (and
// OutputDebugStringA on Windows), WHAT formatted printf-style from `format`
// (null: none), then shows the code's name in a modal error box owned by
// `window` (no owner when it is null or not a window) and returns what the
// message box returned. The input side's line names DirectInput's own codes.
// LURN_ERROR_BOX=0 shows no box (the line only) and returns 0.
int ReportDirectXError(void *window, HRESULT code, const char *method,
                       const char *format, ...)
    __attribute__((format(printf, 4, 5)));
int ReportDirectInputError(void *window, HRESULT code, const char *method,
                           const char *format, ...)
    __attribute__((format(printf, 4, 5)));

#endif
