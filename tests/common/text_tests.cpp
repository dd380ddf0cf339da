/* Localized texts: the satellite library beside the viewer, found through
   the viewer's App Paths key, and the module's own table as fallback. */
#include "doctest_config.h"
#include "messages.h"
#include "testbed.h"

#include <string>

using namespace testbed;

/* Built satellites: the German corvres.dll and a partial one for tests. */
static std::string GermanSatellite() { return WinePath(CORV_GERMAN_SATELLITE); }
static std::string PartialSatellite() { return WinePath(CORV_PARTIAL_SATELLITE); }

/* A scratch "installation directory" holding source as corvres.dll. */
static std::string InstallSatellite(const std::string &source)
{
    std::string dir = MakeScratchDir("viewer-dir");
    REQUIRE(CopyFileA(source.c_str(), (dir + "\\corvres.dll").c_str(), FALSE));
    return dir;
}

static void Restart()
{
    FreeResources();
    InitResources(GetModuleHandleA(NULL));
    LoadCaption(IDS_APP_TITLE);
}

static std::string Text(UINT id)
{
    char buffer[MESSAGE_TEXT_CAPACITY];
    LoadText(id, buffer, sizeof(buffer));
    return buffer;
}

TEST_CASE("without an installation the module's own texts are shown")
{
    REQUIRE(DeleteViewerAppPaths());
    Restart();
    CHECK(std::string(GetSatellitePath()).empty());
    CHECK(GetSatelliteLibrary() == NULL);
    CHECK(std::string(GetCaptionText()) == "Corvala/400");
    CHECK(Text(IDS_NO_FILENAME) == "No filename provided.");
    CHECK(std::string(TextOf(IDS_DOC_NAME)) == "Corvala/400 Report");
    CHECK(std::string(TextOf(IDS_SAVE_TITLE)) == "Save AS400 Spool File to disk");
    CHECK(Text(IDS_NO_MEMORY) == "Insufficient memory");
}

TEST_CASE("the library path follows the Path value")
{
    const char *directories[] = { "C:\\Apps\\Viewer", "C:\\Apps\\Viewer\\" };
    for (const char *directory : directories) {
        CAPTURE(directory);
        REQUIRE(SetViewerAppPaths("C:\\Apps\\Viewer\\Corvala Viewer.exe", directory));
        Restart();
        CHECK(std::string(GetSatellitePath()) == "C:\\Apps\\Viewer\\corvres.dll");
    }
    REQUIRE(SetViewerAppPaths("", "C:/Apps/Viewer/"));
    Restart();
    CHECK(std::string(GetSatellitePath()) == "C:/Apps/Viewer/corvres.dll");

    SUBCASE("a key without Path, or with a relative one, names no library")
    {
        const char *directories[] = { "", ".", "Apps\\Viewer", "\\Apps" };
        for (const char *directory : directories) {
            CAPTURE(directory);
            REQUIRE(SetViewerAppPaths("C:\\Apps\\Viewer\\Corvala Viewer.exe", directory));
            Restart();
            CHECK(std::string(GetSatellitePath()).empty());
        }
    }
    SUBCASE("a directory of 255 characters is composed whole")
    {
        std::string directory = "C:\\" + std::string(252, 'd');
        REQUIRE(SetViewerAppPaths("", directory));
        Restart();
        CHECK(std::string(GetSatellitePath()) == directory + "\\corvres.dll");
        CHECK(GetSatelliteLibrary() == NULL);
        CHECK(std::string(GetCaptionText()) == "Corvala/400");
    }
    DeleteViewerAppPaths();
}

TEST_CASE("a satellite library holding every id replaces every text")
{
    std::string dir = InstallSatellite(GermanSatellite());
    REQUIRE(SetViewerAppPaths(dir + "\\Corvala Viewer.exe", dir));
    Restart();
    REQUIRE(GetSatelliteLibrary() != NULL);
    CHECK(std::string(GetCaptionText()) == "Corvala/400 Druck");
    CHECK(std::string(TextOf(IDS_DOC_NAME)) == "Corvala/400 Bericht");
    CHECK(std::string(TextOf(IDS_SAVE_TITLE)) == "AS400-Spooldatei speichern");
    /* Written in code page 1252, read back in the ANSI code page. */
    if (GetACP() == 1252)
        CHECK(std::string(TextOf(IDS_OPEN_FILE_ERROR)) == "Datei kann nicht ge\xf6" "ffnet werden");
    for (UINT id = IDS_FIRST; id <= IDS_LAST; id++) {
        CAPTURE(id);
        HMODULE own = GetModuleHandleA(NULL);
        char mine[MESSAGE_TEXT_CAPACITY];
        LoadStringA(own, id, mine, sizeof(mine));
        std::string shown = Text(id);
        CHECK(!shown.empty());
        CHECK(shown != mine);
    }
    FreeResources();
    CHECK(GetSatelliteLibrary() == NULL);
    CHECK(Text(IDS_APP_TITLE) == "Corvala/400");
    DeleteViewerAppPaths();
}

TEST_CASE("ids missing or empty in the satellite come from the module")
{
    std::string dir = InstallSatellite(PartialSatellite());
    REQUIRE(SetViewerAppPaths("", dir + "\\"));
    Restart();
    REQUIRE(GetSatelliteLibrary() != NULL);
    CHECK(std::string(GetCaptionText()) == "Satellite Title");
    CHECK(Text(IDS_OPEN_FILE_ERROR) == "Satellite cannot open");
    CHECK(Text(IDS_OPEN_PRINTER_ERROR) == "Open Printer Error");  /* missing there */
    CHECK(Text(IDS_WRITE_PRINTER_ERROR) == "WritePrinter Error"); /* empty there */

    SUBCASE("a text is cut to the buffer it is loaded into")
    {
        char small[8];
        LoadText(IDS_OPEN_FILE_ERROR, small, sizeof(small));
        CHECK(std::string(small) == "Satelli");
        CHECK(strlen(TextOf(IDS_WRITE_DISK_ERROR)) == SHARED_TEXT_CAPACITY - 1);
    }
    FreeResources();
    DeleteViewerAppPaths();
}

TEST_CASE("the satellite is only read: never from the working folder, and none of its code runs")
{
    std::string planted = InstallSatellite(PartialSatellite());
    std::string installed = InstallSatellite(PartialSatellite());
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    REQUIRE(SetCurrentDirectoryA(planted.c_str()));
    const struct {
        std::string directory; /* the Path value; empty: no key */
        const char *caption;
    } cases[] = {
        { "", "Corvala/400" },
        { ".", "Corvala/400" },
        { installed, "Satellite Title" },
    };
    for (const auto &c : cases) {
        CAPTURE(c.directory);
        if (c.directory.empty())
            REQUIRE(DeleteViewerAppPaths());
        else
            REQUIRE(SetViewerAppPaths("", c.directory));
        SetEnvironmentVariableA("CORV_SATELLITE_CODE_RAN", NULL);
        Restart();
        CHECK(std::string(GetCaptionText()) == c.caption);
        CHECK(GetEnvironmentVariableA("CORV_SATELLITE_CODE_RAN", NULL, 0) == 0);
    }
    FreeResources();
    SetCurrentDirectoryA(previous);
    DeleteViewerAppPaths();
}
