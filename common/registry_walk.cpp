/* Opening a registry key named by one path string. */
#include "registry.h"

#include <string.h>

#define REGISTRY_COMPONENT_MAX 256 /* bytes, terminator included */

struct RegistryRoot {
    const char *name;
    HKEY handle;
};

/* Tried in this order; the names compare exactly. */
static const RegistryRoot kRoots[] = {
    { "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE },
    { "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },
    { "HKEY_USERS", HKEY_USERS },
    { "HKEY_CURRENT_USER", HKEY_CURRENT_USER },
};

size_t RegistryComponentLength(const char *text, UINT codePage)
{
    size_t i = 0;
    while (text[i] != '\0' && text[i] != '\\') {
        if (codePage != 0 && IsDBCSLeadByteEx(codePage, (BYTE)text[i]) && text[i + 1] != '\0')
            i += 2;
        else
            i += 1;
    }
    return i;
}

static HKEY FindRoot(const char *name, size_t length)
{
    for (const RegistryRoot &root : kRoots) {
        if (strlen(root.name) == length && memcmp(root.name, name, length) == 0)
            return root.handle;
    }
    return NULL;
}

HKEY WalkRegistryPath(const char *path, UINT codePage)
{
    size_t length = RegistryComponentLength(path, codePage);
    HKEY current = FindRoot(path, length);
    if (current == NULL)
        return NULL;

    const char *rest = path + length;
    while (*rest == '\\') {
        rest++;
        if (*rest == '\0')
            break; /* a trailing backslash ends the walk */

        length = RegistryComponentLength(rest, codePage);
        if (length >= REGISTRY_COMPONENT_MAX) {
            /* No key has a name this long; refuse rather than cut it. */
            RegCloseKey(current);
            return NULL;
        }
        char component[REGISTRY_COMPONENT_MAX];
        memcpy(component, rest, length);
        component[length] = '\0';

        HKEY next = NULL;
        LONG status = RegOpenKeyExA(current, component, 0, KEY_READ, &next);
        RegCloseKey(current);
        if (status != ERROR_SUCCESS)
            return NULL;
        current = next;
        rest += length;
    }
    return current;
}
