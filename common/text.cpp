/* Localized text: the satellite library and the module's own string table. */
#include "messages.h"
#include "registry.h"
#include "textcopy.h"

#include <string.h>

/* One set per deliverable, process-wide; each deliverable calls these
   functions from a single thread. */
static HINSTANCE ModuleInstance;
static HMODULE SatelliteLibrary;
static char CaptionText[CAPTION_TEXT_CAPACITY];
static char SharedText[SHARED_TEXT_CAPACITY];
/* Room for a full directory, a separator and the file name. */
static char SatellitePath[LIBRARY_PATH_CAPACITY + sizeof("\\" SATELLITE_BASE_NAME "." SATELLITE_EXTENSION)];

/* The viewer's directory from its App Paths key, or the empty string. */
static void ReadViewerDirectory(char *directory, DWORD capacity)
{
    directory[0] = '\0';
    HKEY key = OpenRegistryPath(VIEWER_APP_PATHS_KEY);
    if (key == NULL)
        return;
    ReadRegistryText(key, "Path", directory, capacity, "");
    RegCloseKey(key);
}

static bool EndsWithSeparator(const char *directory)
{
    size_t length = strlen(directory);
    if (length == 0)
        return false;
    /* The last character, not a trail byte that happens to be a backslash. */
    const char *last = directory;
    for (const char *p = directory; *p != '\0'; p = CharNextA(p))
        last = p;
    return (*last == '\\' || *last == '/') && last == directory + length - 1;
}

/* A drive path (C:\ or C:/) or a UNC path: a relative one would be taken
   from the working directory. */
static bool IsFullPath(const char *directory)
{
    if (directory[0] == '\\' && directory[1] == '\\')
        return true;
    return IsCharAlphaA(directory[0]) && directory[1] == ':' && (directory[2] == '\\' || directory[2] == '/');
}

/* The satellite's full path in the viewer's directory, or the empty string
   when there is no such directory: never a bare name, which the system
   would look for in the working directory among others. */
static void ComposeSatellitePath(const char *directory, char *path, size_t capacity)
{
    path[0] = '\0';
    if (!IsFullPath(directory))
        return;
    AppendTextCut(path, capacity, directory);
    if (directory[0] != '\0' && !EndsWithSeparator(directory))
        AppendTextCut(path, capacity, "\\");
    AppendTextCut(path, capacity, SATELLITE_BASE_NAME "." SATELLITE_EXTENSION);
}

void InitResources(HINSTANCE instance)
{
    ModuleInstance = instance;
    char directory[LIBRARY_PATH_CAPACITY];
    ReadViewerDirectory(directory, sizeof(directory));
    ComposeSatellitePath(directory, SatellitePath, sizeof(SatellitePath));
    SatelliteLibrary = NULL;
    if (SatellitePath[0] == '\0')
        return;
    /* Mapped as resources only: no entry point or other code of it runs. */
    SatelliteLibrary = LoadLibraryExA(SatellitePath, NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (SatelliteLibrary == NULL) /* systems without the image-resource mapping */
        SatelliteLibrary = LoadLibraryExA(SatellitePath, NULL, LOAD_LIBRARY_AS_DATAFILE);
}

void FreeResources(void)
{
    if (SatelliteLibrary != NULL)
        FreeLibrary(SatelliteLibrary);
    /* Later lookups fall back to the module's own texts rather than reach
       into a library that is gone. */
    SatelliteLibrary = NULL;
}

void LoadText(UINT id, char *buffer, int capacity)
{
    if (capacity <= 0)
        return;
    if (SatelliteLibrary != NULL && LoadStringA(SatelliteLibrary, id, buffer, capacity) != 0)
        return;
    if (LoadStringA(ModuleInstance, id, buffer, capacity) == 0)
        buffer[0] = '\0';
}

char *TextOf(UINT id)
{
    LoadText(id, SharedText, SHARED_TEXT_CAPACITY);
    return SharedText;
}

void LoadCaption(UINT id)
{
    LoadText(id, CaptionText, CAPTION_TEXT_CAPACITY);
}

HINSTANCE GetResourceModule(void) { return ModuleInstance; }
HMODULE GetSatelliteLibrary(void) { return SatelliteLibrary; }
const char *GetCaptionText(void) { return CaptionText; }
const char *GetSatellitePath(void) { return SatellitePath; }
