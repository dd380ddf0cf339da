/* Registry access by path string ("HKEY_LOCAL_MACHINE\SOFTWARE\..."), read only. */
#ifndef CORVALA_REGISTRY_H
#define CORVALA_REGISTRY_H

#include <windows.h>

/* The viewer's App Paths key: default value = the viewer's full path,
   value "Path" = its directory. */
#define VIEWER_APP_PATHS_KEY \
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Corvala Viewer.exe"

/* Opens the key named by path for reading.  Returns the root's predefined
   handle when the path names only a root, NULL when the root is unknown or a
   level cannot be opened (every handle opened on the way is closed again).
   Close a non-NULL result with RegCloseKey. */
HKEY OpenRegistryPath(const char *path);

/* Reads value valueName of key as text into dest (capacity bytes).  Strings
   are copied unexpanded, DWORDs (either byte order) written in decimal.
   Returns 1 when dest holds the value's text, 0 when it holds defaultText
   (missing value, other type, or data that does not fit). */
int ReadRegistryText(HKEY key, const char *valueName, char *dest, DWORD capacity,
                     const char *defaultText);

/* The walk behind OpenRegistryPath.  codePage 0 walks byte by byte; any
   other code page keeps double-byte characters of that code
   page whole, so a trail byte equal to a backslash does not end a component. */
HKEY WalkRegistryPath(const char *path, UINT codePage);

/* Length in bytes of the component at text: up to the first backslash that
   is a character of its own in codePage (0 = byte by byte), or to the end. */
size_t RegistryComponentLength(const char *text, UINT codePage);

#endif
