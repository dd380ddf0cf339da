/* The plug-in library as a browser first meets it: exports, the version
   handshake, instances, the version resource, and the calls that need no
   dialog.  NPcvw32.dll is loaded the way a browser loads it. */
#include "doctest_config.h"
#include "plugin_testing.h"

#include <string.h>

using namespace nphost;

namespace {

void Sentinel() {}

/* Function pointers as plain addresses, which the checks can print. */
template <typename F>
const void *Addr(F function)
{
    return reinterpret_cast<const void *>(function);
}

struct StartedHost {
    PluginHost host;
    StartedHost()
    {
        REQUIRE(host.Load(PluginLibraryPath()));
        REQUIRE(host.Start() == NPERR_NO_ERROR);
    }
};

} // namespace

TEST_CASE("the exports are found by name and by ordinals 1 to 3")
{
    PluginHost host;
    REQUIRE(host.Load(PluginLibraryPath()));
    const char *names[] = { "NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown" };
    for (int ordinal = 1; ordinal <= 3; ordinal++) {
        CAPTURE(ordinal);
        FARPROC byOrdinal = GetProcAddress(host.Module(), MAKEINTRESOURCEA(ordinal));
        CHECK(Addr(byOrdinal) != nullptr);
        CHECK(Addr(byOrdinal) == Addr(GetProcAddress(host.Module(), names[ordinal - 1])));
    }
    CHECK(Addr(GetProcAddress(host.Module(), MAKEINTRESOURCEA(4))) == nullptr);
}

TEST_CASE("the handshake fills the table and answers the browser's version")
{
    PluginHost host;
    REQUIRE(host.Load(PluginLibraryPath()));
    NP_GetEntryPointsFunc getEntryPoints = (NP_GetEntryPointsFunc)GetProcAddress(host.Module(), "NP_GetEntryPoints");
    NP_InitializeFunc initialize = (NP_InitializeFunc)GetProcAddress(host.Module(), "NP_Initialize");

    CHECK(getEntryPoints(nullptr) == NPERR_INVALID_FUNCTABLE_ERROR);
    CHECK(initialize(nullptr) == NPERR_INVALID_FUNCTABLE_ERROR);

    REQUIRE(host.GetEntryPoints() == NPERR_NO_ERROR);
    NPPluginFuncs &funcs = host.PluginFuncs();
    CHECK(funcs.size == sizeof(NPPluginFuncs));
    CHECK(funcs.version == 11);
    CHECK(Addr(funcs.newp) != nullptr);
    CHECK(Addr(funcs.destroy) != nullptr);
    CHECK(Addr(funcs.setwindow) != nullptr);
    CHECK(Addr(funcs.newstream) != nullptr);
    CHECK(Addr(funcs.destroystream) != nullptr);
    CHECK(Addr(funcs.asfile) != nullptr);
    CHECK(Addr(funcs.writeready) != nullptr);
    CHECK(Addr(funcs.write) != nullptr);
    CHECK(Addr(funcs.print) != nullptr);
    CHECK(Addr(funcs.event) == nullptr);
    CHECK(Addr(funcs.urlnotify) == nullptr);

    SUBCASE("a browser of major version 1 is refused")
    {
        CHECK(host.Initialize(0x0100) == NPERR_INCOMPATIBLE_VERSION_ERROR);
    }
    SUBCASE("before minor version 9 the notification slots are left alone")
    {
        funcs.urlnotify = (NPP_URLNotifyProc)Sentinel;
        funcs.javaClass = (void *)Sentinel;
        CHECK(host.Initialize(0x0008) == NPERR_NO_ERROR);
        CHECK(Addr(funcs.urlnotify) == Addr(Sentinel));
        CHECK(funcs.javaClass == (void *)Sentinel);
        CHECK(funcs.version == 11);
    }
    SUBCASE("from minor version 9 on, URL notification is offered and no Java class")
    {
        for (uint16_t version : { 0x0009, 0x000B, 0x00FF }) {
            CAPTURE(version);
            funcs.urlnotify = nullptr;
            funcs.javaClass = (void *)Sentinel;
            CHECK(host.Initialize(version) == NPERR_NO_ERROR);
            CHECK(Addr(funcs.urlnotify) != nullptr);
            CHECK(funcs.javaClass == nullptr);
            funcs.urlnotify(nullptr, "http://x/", NPRES_DONE, nullptr);
            CHECK(host.Shutdown() == NPERR_NO_ERROR);
        }
    }
}

TEST_CASE("instances: NULL instances, a record that cannot be had, destroying twice")
{
    StartedHost started;
    NPPluginFuncs &funcs = started.host.PluginFuncs();
    ResetMemoryCounters();

    CHECK(funcs.newp((NPMIMEType)kMimeType, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr) ==
          NPERR_INVALID_INSTANCE_ERROR);
    CHECK(funcs.destroy(nullptr, nullptr) == NPERR_INVALID_INSTANCE_ERROR);
    CHECK(funcs.setwindow(nullptr, nullptr) == NPERR_INVALID_INSTANCE_ERROR);
    CHECK(Memory().allocations == 0);

    SUBCASE("the record cannot be allocated")
    {
        HostInstance instance(started.host);
        instance.Npp()->pdata = (void *)Sentinel;
        FailAllocations(0, 1);
        CHECK(instance.New() == NPERR_OUT_OF_MEMORY_ERROR);
        CHECK(instance.Npp()->pdata == nullptr);
        AllowAllocations();
        /* The browser may still hand the instance a window. */
        CHECK(instance.SetWindow() == NPERR_NO_ERROR);
    }
    SUBCASE("one record per instance, released once")
    {
        HostInstance first(started.host), second(started.host);
        REQUIRE(first.New() == NPERR_NO_ERROR);
        REQUIRE(second.New(NP_EMBED) == NPERR_NO_ERROR);
        CHECK(first.Npp()->pdata != second.Npp()->pdata);
        CHECK(Memory().liveBlocks == 2);
        CHECK(first.SetWindow() == NPERR_NO_ERROR);
        CHECK(first.SetWindow(nullptr) == NPERR_NO_ERROR);
        CHECK(first.Destroy() == NPERR_NO_ERROR);
        CHECK(first.Npp()->pdata == nullptr);
        CHECK(first.Destroy() == NPERR_NO_ERROR);
        CHECK(second.Destroy() == NPERR_NO_ERROR);
        CHECK(Memory().liveBlocks == 0);
        CHECK(Memory().badFrees == 0);
    }
}

TEST_CASE("stream calls that need no dialog")
{
    StartedHost started;
    NPPluginFuncs &funcs = started.host.PluginFuncs();
    HostInstance instance(started.host);
    REQUIRE(instance.New() == NPERR_NO_ERROR);
    NPStream stream = {};
    char block[100] = {};
    ResetMemoryCounters();

    CHECK(funcs.writeready(nullptr, nullptr) == 0xFFFFFF);
    CHECK(funcs.writeready(instance.Npp(), &stream) == 0xFFFFFF);
    CHECK(funcs.newstream(nullptr, (NPMIMEType)kMimeType, &stream, 0, nullptr) == NPERR_INVALID_INSTANCE_ERROR);
    /* A stream without a job takes blocks and drops them. */
    CHECK(funcs.write(instance.Npp(), &stream, 0, sizeof(block), block) == (int32_t)sizeof(block));
    CHECK(funcs.write(nullptr, &stream, 0, sizeof(block), block) == -1);
    CHECK(funcs.destroystream(nullptr, &stream, NPRES_DONE) == NPERR_INVALID_INSTANCE_ERROR);
    CHECK(funcs.destroystream(instance.Npp(), &stream, NPRES_DONE) == NPERR_NO_ERROR);
    CHECK(funcs.destroystream(instance.Npp(), &stream, NPRES_DONE) == NPERR_NO_ERROR);
    funcs.asfile(instance.Npp(), &stream, "C:\\x.cvep");
    funcs.print(instance.Npp(), nullptr);
    funcs.print(nullptr, nullptr);
    CHECK(Memory().allocations == 0);
    CHECK(stream.pdata == nullptr);
}

/* --- the version resource ---------------------------------------------- */

namespace {

/* One node of a version resource: length, value length, type, key, then
   the value and the children, each aligned on 32 bits. */
struct VersionNode {
    const BYTE *start;
    WORD length;
    WORD valueLength;
    std::wstring key;
    const BYTE *value;
    const BYTE *children;
};

const BYTE *Align4(const BYTE *base, const BYTE *p)
{
    return base + ((p - base + 3) & ~3);
}

VersionNode ReadNode(const BYTE *base, const BYTE *p)
{
    VersionNode node;
    node.start = p;
    node.length = ((const WORD *)p)[0];
    node.valueLength = ((const WORD *)p)[1];
    WORD type = ((const WORD *)p)[2];
    const WCHAR *key = (const WCHAR *)(p + 6);
    node.key = key;
    node.value = Align4(base, (const BYTE *)(key + node.key.size() + 1));
    size_t valueBytes = type == 1 ? node.valueLength * sizeof(WCHAR) : node.valueLength;
    node.children = Align4(base, node.value + valueBytes);
    return node;
}

std::vector<VersionNode> Children(const BYTE *base, const VersionNode &parent)
{
    std::vector<VersionNode> children;
    const BYTE *end = parent.start + parent.length;
    for (const BYTE *p = parent.children; p < end;) {
        VersionNode child = ReadNode(base, p);
        if (child.length == 0)
            break;
        children.push_back(child);
        p = Align4(base, p + child.length);
    }
    return children;
}

std::string Narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

} // namespace

TEST_CASE("the version resource declares the MIME type, extension and open text in the listed order")
{
    HMODULE module = LoadLibraryExA(PluginLibraryPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(module != NULL);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16) /* RT_VERSION */);
    REQUIRE(found != NULL);
    const BYTE *base = (const BYTE *)LockResource(LoadResource(module, found));
    REQUIRE(base != nullptr);

    VersionNode root = ReadNode(base, base);
    CHECK(Narrow(root.key) == "VS_VERSION_INFO");
    REQUIRE(root.valueLength == sizeof(VS_FIXEDFILEINFO));
    const VS_FIXEDFILEINFO *fixed = (const VS_FIXEDFILEINFO *)root.value;
    CHECK(fixed->dwFileVersionMS == 0x00010000);
    CHECK(fixed->dwFileVersionLS == 0x00050000);
    CHECK(fixed->dwProductVersionMS == 0x00010000);
    CHECK(fixed->dwProductVersionLS == 0x00050000);
    CHECK(fixed->dwFileFlagsMask == 0x3F);
    CHECK(fixed->dwFileFlags == 0);
    CHECK(fixed->dwFileOS == VOS__WINDOWS32);
    CHECK(fixed->dwFileType == VFT_DLL);
    CHECK(fixed->dwFileSubtype == 0);

    std::vector<VersionNode> blocks = Children(base, root);
    REQUIRE(blocks.size() == 2);
    CHECK(Narrow(blocks[0].key) == "StringFileInfo");
    CHECK(Narrow(blocks[1].key) == "VarFileInfo");
    std::vector<VersionNode> tables = Children(base, blocks[0]);
    REQUIRE(tables.size() == 1);
    CHECK(Narrow(tables[0].key) == "040904e4");

    const char *expected[][2] = {
        { "Comments", "" },
        { "CompanyName", nullptr },
        { "FileDescription", "Corvala/400  Plugin" },
        { "FileExtents", "cvep" },
        { "FileOpenName", "Corvala/400(*.cvep)" },
        { "FileVersion", "1, 0, 5, 0" },
        { "InternalName", "NPCorvalaPlugin" },
        { "LegalCopyright", nullptr },
        { "LegalTrademarks", "" },
        { "MIMEType", "application/x-corvala400-ep" },
        { "OriginalFilename", "NPcvw32.dll" },
        { "PrivateBuild", "" },
        { "ProductName", "Corvala/400" },
        { "ProductVersion", "1, 0, 5, 0" },
        { "SpecialBuild", "" },
    };
    std::vector<VersionNode> strings = Children(base, tables[0]);
    REQUIRE(strings.size() == sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < strings.size(); i++) {
        CAPTURE(i);
        CHECK(Narrow(strings[i].key) == expected[i][0]);
        std::string value = strings[i].valueLength > 0 ? Narrow((const WCHAR *)strings[i].value) : "";
        if (expected[i][1] != nullptr)
            CHECK(value == expected[i][1]);
        else
            CHECK(!value.empty());
    }

    std::vector<VersionNode> translations = Children(base, blocks[1]);
    REQUIRE(translations.size() == 1);
    CHECK(Narrow(translations[0].key) == "Translation");
    REQUIRE(translations[0].valueLength == 4);
    const WORD *pair = (const WORD *)translations[0].value;
    CHECK(pair[0] == 0x0409);
    CHECK(pair[1] == 1252);
    FreeLibrary(module);
}
