/*
 * Localized texts and the message boxes through which every failure reaches
 * the user.  Texts come from the satellite library corvres.dll in the
 * viewer's directory when it has them, otherwise from the calling module.
 * Process-wide state, one thread: see text.cpp.
 */
#ifndef CORVALA_MESSAGES_H
#define CORVALA_MESSAGES_H

#include <windows.h>
#include "../resources/resource_ids.h"

#define CAPTION_TEXT_CAPACITY 100
#define SHARED_TEXT_CAPACITY 256
#define MESSAGE_TEXT_CAPACITY 1024
#define LIBRARY_PATH_CAPACITY 261

#define SATELLITE_BASE_NAME "corvres"
#define SATELLITE_EXTENSION "dll"

/* Records instance as the source of the module's own texts and loads the
   satellite library if one is installed beside the viewer. */
void InitResources(HINSTANCE instance);
/* Releases the satellite library. */
void FreeResources(void);
/* Loads the text of id into buffer (capacity characters with terminator). */
void LoadText(UINT id, char *buffer, int capacity);
/* The text of id in a shared buffer that the next call overwrites. */
char *TextOf(UINT id);
/* Loads the caption of every message box. */
void LoadCaption(UINT id);

/* The four message functions return the button chosen in the box, or 0 when
   the box could not be shown (a second, system-modal box then shows a
   shorter text).  An id of 0 leaves out the id text. */
int ShowMessage(HWND owner, UINT id, UINT style);
int ShowMessageCode(HWND owner, UINT id, DWORD code, UINT style);
int ShowSystemError(HWND owner, UINT id, DWORD error, UINT style);
int ShowSystemErrorFor(HWND owner, UINT id, DWORD error, const char *subject, UINT style);

/* Like ShowSystemErrorFor, with the caller's own detail in place of the
   system's text for an error code (for example an HTTP status line). */
int ShowDetailFor(HWND owner, UINT id, const char *subject, const char *detail, UINT style);

/* ShowDetailFor with an HTTP answer as the detail: "<status> <reason>", or
   the status alone when reason is NULL or empty. */
int ShowHttpStatusFor(HWND owner, UINT id, const char *subject, DWORD status, const char *reason,
                      UINT style);

/* Called with the text of every message box just before the box is shown,
   so that a program can tell its caller what the user was told.  NULL (the
   default) calls nothing. */
typedef void (*MessageListener)(const char *text);
void SetMessageListener(MessageListener listener);

/* Module state, readable for tests and diagnostics. */
HINSTANCE GetResourceModule(void);
HMODULE GetSatelliteLibrary(void);
const char *GetCaptionText(void);
/* The path InitResources composed for the satellite library. */
const char *GetSatellitePath(void);

#endif
