/* Path walk for the libraries: byte by byte. */
#include "registry.h"

HKEY OpenRegistryPath(const char *path)
{
    return WalkRegistryPath(path, 0);
}
