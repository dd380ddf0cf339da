/* Registry path access against Wine's real registry. */
#include "doctest_config.h"
#include "registry.h"
#include "testbed.h"

#include <string>

using testbed::FreshTestKey;
using testbed::SetRegValue;

static DWORD HandleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

static std::string Read(HKEY key, const char *name, DWORD capacity, int *result)
{
    char dest[512];
    memset(dest, 'x', sizeof(dest));
    *result = ReadRegistryText(key, name, dest, capacity, "fallback");
    return dest;
}

TEST_CASE("roots are the four full names, compared exactly")
{
    CHECK(OpenRegistryPath("HKEY_LOCAL_MACHINE") == HKEY_LOCAL_MACHINE);
    CHECK(OpenRegistryPath("HKEY_CLASSES_ROOT") == HKEY_CLASSES_ROOT);
    CHECK(OpenRegistryPath("HKEY_USERS\\") == HKEY_USERS);
    CHECK(OpenRegistryPath("HKEY_CURRENT_USER") == HKEY_CURRENT_USER);

    CHECK(OpenRegistryPath("hkey_local_machine") == NULL);
    CHECK(OpenRegistryPath("HKEY_CURRENT_CONFIG") == NULL);
    CHECK(OpenRegistryPath("HKLM\\SOFTWARE") == NULL);
    CHECK(OpenRegistryPath("HKEY_LOCAL_MACHINEX\\SOFTWARE") == NULL);
    CHECK(OpenRegistryPath("") == NULL);
}

TEST_CASE("walking down a path")
{
    std::string base = FreshTestKey("walk");
    DWORD one = 1;
    REQUIRE(SetRegValue(base + "\\Level1\\Level2", "v", REG_DWORD, &one, 4));

    SUBCASE("existing levels open, names compare without case")
    {
        HKEY key = OpenRegistryPath((base + "\\level1\\LEVEL2").c_str());
        REQUIRE(key != NULL);
        int result = 0;
        CHECK(Read(key, "v", 261, &result) == "1");
        CHECK(result == 1);
        RegCloseKey(key);
    }
    SUBCASE("a trailing backslash stops the walk at the key before it")
    {
        HKEY key = OpenRegistryPath((base + "\\Level1\\Level2\\").c_str());
        REQUIRE(key != NULL);
        int result = 0;
        Read(key, "v", 261, &result);
        CHECK(result == 1);
        RegCloseKey(key);
    }
    SUBCASE("two backslashes in a row stay on the same key")
    {
        HKEY key = OpenRegistryPath((base + "\\Level1\\\\Level2").c_str());
        REQUIRE(key != NULL);
        RegCloseKey(key);
    }
    SUBCASE("a missing level gives NULL and leaves no handle open")
    {
        CHECK(OpenRegistryPath((base + "\\Level1\\Missing\\Deeper").c_str()) == NULL);
        DWORD before = HandleCount();
        for (int i = 0; i < 200; i++)
            OpenRegistryPath((base + "\\Level1\\Level2\\Missing").c_str());
        CHECK(HandleCount() < before + 10);
    }
    SUBCASE("a component of more than 255 bytes is refused without overflow")
    {
        std::string longName(300, 'k');
        CHECK(OpenRegistryPath((base + "\\" + longName + "\\x").c_str()) == NULL);
        CHECK(OpenRegistryPath((base + "\\" + std::string(5000, 'k')).c_str()) == NULL);
    }
}

TEST_CASE("double-byte characters keep their trail byte")
{
    /* In code page 932 the character 0x95 0x5C has a backslash as its
       second byte; it must not end a component. */
    const char path[] = "HKEY_CURRENT_USER\\\x95\x5c" "abc\\def";
    CHECK(RegistryComponentLength(path + 18, 932) == 5);
    CHECK(RegistryComponentLength(path + 18, 0) == 1);
    CHECK(RegistryComponentLength("abc", 932) == 3);
    /* A lead byte at the very end does not run past the terminator. */
    CHECK(RegistryComponentLength("ab\x95", 932) == 3);
}

TEST_CASE("values as text")
{
    std::string path = FreshTestKey("values");
    HKEY key = NULL;
    auto set = [&](const char *name, DWORD type, const void *data, DWORD size) {
        REQUIRE(SetRegValue(path, name, type, data, size));
    };
    DWORD maxDword = 4294967295u, zero = 0;
    const BYTE bigEndian[4] = { 0, 0, 1, 0 };
    const BYTE binary[3] = { 1, 2, 3 };
    std::string text300(300, 'a');
    std::string text255(255, 'b');
    set("", REG_SZ, "default value", 14);
    set("sz", REG_SZ, "C:\\Apps\\Viewer", 15);
    set("expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
    set("dword", REG_DWORD, &maxDword, 4);
    set("zero", REG_DWORD, &zero, 4);
    set("big", REG_DWORD_BIG_ENDIAN, bigEndian, 4);
    set("binary", REG_BINARY, binary, 3);
    set("multi", REG_MULTI_SZ, "a\0b\0", 5);
    set("long", REG_SZ, text300.c_str(), 301);
    set("fits", REG_SZ, text255.c_str(), 256);
    set("noterm", REG_SZ, "abc", 3);
    key = OpenRegistryPath(path.c_str());
    REQUIRE(key != NULL);

    int result = -1;
    CHECK(Read(key, "", 261, &result) == "default value");
    CHECK(result == 1);
    CHECK(Read(key, "sz", 261, &result) == "C:\\Apps\\Viewer");
    CHECK(result == 1);
    CHECK(Read(key, "expand", 261, &result) == "%SystemRoot%\\x");
    CHECK(result == 1);
    CHECK(Read(key, "dword", 261, &result) == "4294967295");
    CHECK(result == 1);
    CHECK(Read(key, "zero", 261, &result) == "0");
    CHECK(result == 1);
    CHECK(Read(key, "big", 261, &result) == "256");
    CHECK(result == 1);
    CHECK(Read(key, "noterm", 261, &result) == "abc");
    CHECK(result == 1);
    CHECK(Read(key, "fits", 261, &result) == text255);
    CHECK(result == 1);

    const char *refused[] = { "binary", "multi", "long", "missing" };
    for (const char *name : refused) {
        CAPTURE(name);
        CHECK(Read(key, name, 261, &result) == "fallback");
        CHECK(result == 0);
    }

    SUBCASE("a capacity smaller than the value gives the default, cut to fit")
    {
        char small[6];
        memset(small, 'x', sizeof(small));
        CHECK(ReadRegistryText(key, "sz", small, sizeof(small), "dflt") == 0);
        CHECK(std::string(small) == "dflt");
        CHECK(ReadRegistryText(key, "dword", small, sizeof(small), "long default") == 0);
        CHECK(std::string(small) == "long ");
    }
    RegCloseKey(key);
}
