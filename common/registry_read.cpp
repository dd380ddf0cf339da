/* Reading one registry value as text. */
#include "registry.h"
#include "textcopy.h"

#include <stdio.h>
#include <string.h>

#define REGISTRY_VALUE_MAX 256 /* bytes of data, terminator included */

static int GiveDefault(char *dest, DWORD capacity, const char *defaultText)
{
    CopyTextCut(dest, capacity, defaultText);
    return 0;
}

/* Writes number in decimal when it fits in capacity. */
static int GiveNumber(char *dest, DWORD capacity, DWORD number, const char *defaultText)
{
    char digits[16];
    int length = snprintf(digits, sizeof(digits), "%lu", (unsigned long)number);
    if ((DWORD)length >= capacity)
        return GiveDefault(dest, capacity, defaultText);
    memcpy(dest, digits, (size_t)length + 1);
    return 1;
}

/* Copies string data of size bytes, which may lack its terminator. */
static int GiveString(char *dest, DWORD capacity, const char *data, DWORD size,
                      const char *defaultText)
{
    size_t length = strnlen(data, size);
    if (length >= capacity)
        return GiveDefault(dest, capacity, defaultText);
    memcpy(dest, data, length);
    dest[length] = '\0';
    return 1;
}

int ReadRegistryText(HKEY key, const char *valueName, char *dest, DWORD capacity,
                     const char *defaultText)
{
    if (capacity == 0)
        return 0;

    BYTE data[REGISTRY_VALUE_MAX + 1];
    DWORD size = capacity < REGISTRY_VALUE_MAX ? capacity : REGISTRY_VALUE_MAX;
    DWORD type = REG_NONE;
    memset(data, 0, sizeof(data));
    if (RegQueryValueExA(key, valueName, NULL, &type, data, &size) != ERROR_SUCCESS)
        return GiveDefault(dest, capacity, defaultText);
    if (size > REGISTRY_VALUE_MAX)
        size = REGISTRY_VALUE_MAX;

    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return GiveString(dest, capacity, (const char *)data, size, defaultText);
    case REG_DWORD:
        if (size < 4)
            return GiveDefault(dest, capacity, defaultText);
        return GiveNumber(dest, capacity,
                          (DWORD)data[0] | (DWORD)data[1] << 8 | (DWORD)data[2] << 16 |
                              (DWORD)data[3] << 24,
                          defaultText);
    case REG_DWORD_BIG_ENDIAN:
        if (size < 4)
            return GiveDefault(dest, capacity, defaultText);
        return GiveNumber(dest, capacity,
                          (DWORD)data[0] << 24 | (DWORD)data[1] << 16 | (DWORD)data[2] << 8 |
                              (DWORD)data[3],
                          defaultText);
    default:
        return GiveDefault(dest, capacity, defaultText);
    }
}
