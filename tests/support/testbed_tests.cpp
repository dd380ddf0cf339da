/* The test bed itself: the sandbox printer's documents land as files and
   the real print dialog is answered.  Later tests rely on both. */
#include "doctest_config.h"
#include "dialogs.h"
#include "testbed.h"

#include <commdlg.h>
#include <winspool.h>

using namespace testbed;

TEST_CASE("a raw document lands byte for byte in a job file")
{
    size_t before = SpoolJobs().size();
    std::string name = PrinterName();
    HANDLE printer = NULL;
    REQUIRE(OpenPrinterA((LPSTR)name.c_str(), &printer, NULL));
    DOC_INFO_1A doc = { (LPSTR) "bed check", NULL, (LPSTR) "RAW" };
    REQUIRE(StartDocPrinterA(printer, 1, (BYTE *)&doc));
    std::string data = PatternBytes(10000, 7);
    DWORD written = 0;
    CHECK(WritePrinter(printer, (void *)data.data(), (DWORD)data.size(), &written));
    EndDocPrinter(printer);
    ClosePrinter(printer);
    std::vector<std::string> jobs = NewSpoolJobs(before, 1);
    REQUIRE(jobs.size() == 1);
    CHECK(ReadBytes(jobs[0]) == data);
}

TEST_CASE("the print dialog is answered with copies and print to file")
{
    DialogAnswerer answerer({ PrintOk(3, true) });
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof(pd);
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE;
    pd.nCopies = 1;
    BOOL ok = PrintDlgA(&pd);
    CHECK(answerer.ScriptDone());
    REQUIRE(ok);
    CHECK((pd.Flags & PD_PRINTTOFILE) != 0);
    DEVMODEA *devmode = (DEVMODEA *)GlobalLock(pd.hDevMode);
    REQUIRE(devmode != NULL);
    CHECK((devmode->dmCopies == 3 || pd.nCopies == 3));
    GlobalUnlock(pd.hDevMode);
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);
}

TEST_CASE("a message box is read and answered")
{
    DialogAnswerer answerer({ Box(IDRETRY) });
    int result = MessageBoxA(NULL, "line one\nline two", "bed", MB_RETRYCANCEL | MB_ICONEXCLAMATION);
    CHECK(result == IDRETRY);
    REQUIRE(answerer.Seen().size() == 1);
    CHECK(answerer.Seen()[0].text == "line one\nline two");
    CHECK(answerer.Seen()[0].title == "bed");
    CHECK(answerer.Seen()[0].hasRetry);
}

TEST_CASE("the save dialog takes a typed path")
{
    std::string dir = MakeScratchDir("bed-save");
    std::string path = dir + "\\out.cv";
    DialogAnswerer answerer({ SaveAs(path) });
    char file[260] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.lpstrFilter = "Corvala/400 (*.cv)\0*.cv\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    ofn.lpstrDefExt = "cv";
    CHECK(GetSaveFileNameA(&ofn));
    CHECK(answerer.ScriptDone());
    CHECK(lstrcmpiA(file, path.c_str()) == 0);
}
