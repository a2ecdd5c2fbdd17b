// The library's one way of telling the user about a failure.
#ifndef LURN_REPORT_ERROR_H
#define LURN_REPORT_ERROR_H

#include <windows.h>

// The DirectDraw name of a result code, or "<Inconnue>" for any code
// outside the table (success codes included).
const char *DirectXErrorName(HRESULT code);

// Shows the code's name in a modal error box owned by `window` (null: no
// owner) and returns what the message box returned.
int ReportDirectXError(void *window, HRESULT code);

#endif
