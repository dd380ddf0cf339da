/* Path walk for the viewer: keeps double-byte characters of the process's
   ANSI code page whole. */
#include "registry.h"

HKEY OpenRegistryPath(const char *path)
{
    return WalkRegistryPath(path, GetACP());
}
