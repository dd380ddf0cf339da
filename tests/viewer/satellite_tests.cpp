/* A satellite library beside the viewer overrides the caption, the messages,
   the document name and the save dialog's title. */
#include "doctest_config.h"
#include "dialogs.h"
#include "messages.h"
#include "testbed.h"
#include "viewer_test_util.h"

using namespace testbed;
using namespace viewertest;

TEST_CASE("the German satellite library's texts reach every place the viewer shows text")
{
    std::string dir = MakeScratchDir("satellite");
    REQUIRE(CopyFileA(WinePath(CORV_GERMAN_SATELLITE).c_str(), (dir + "\\corvres.dll").c_str(), FALSE));
    REQUIRE(SetViewerAppPaths(dir + "\\Corvala Viewer.exe", dir));
    InitResources(GetModuleHandleA(NULL));
    LoadCaption(IDS_APP_TITLE);
    REQUIRE(GetSatelliteLibrary() != NULL);

    std::string data = PatternBytes(2000, 41);
    std::string path = MakeScratchFile("satellite.prn", data);
    std::string missing = dir + "\\absent.prn";
    std::string target = dir + "\\out.cv";
    {
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(1) });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        CHECK(spy.docName == "Corvala/400 Bericht");
    }
    {
        DialogAnswerer answerer({ PrintOk(1, true), SaveAs(target) });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        REQUIRE(answerer.Seen().size() == 2);
        CHECK(answerer.Seen()[1].title == "AS400-Spooldatei speichern");
        CHECK(ReadBytes(target) == data);
    }
    {
        DialogAnswerer answerer({ Box(IDOK) });
        RunOutputJob(missing.c_str(), TRUE, FALSE);
        REQUIRE(answerer.Seen().size() == 1);
        CHECK(answerer.Seen()[0].title == "Corvala/400 Druck");
        CHECK(FirstLine(answerer.Seen()[0].text) == "Datei kann nicht ge\xf6" "ffnet werden");
    }
    FreeResources();

    /* The program itself loads it at start: the missing-source message. */
    {
        DialogAnswerer answerer({ Box(IDOK) });
        CHECK(RunViewerArgs({ "-d" }) == VIEWER_EXIT_NO_SOURCE);
        REQUIRE(answerer.Seen().size() == 1);
        CHECK(answerer.Seen()[0].text == "Kein Dateiname angegeben.");
        CHECK(answerer.Seen()[0].title == "Corvala/400 Druck");
    }

    DeleteViewerAppPaths();
    InitResources(GetModuleHandleA(NULL));
    LoadCaption(IDS_APP_TITLE);
    CHECK(GetSatelliteLibrary() == NULL);
    FreeResources();
}
