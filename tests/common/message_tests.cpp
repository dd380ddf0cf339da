/* The four message functions: exact texts, caption, style, the button
   chosen, and the second box when the first cannot be shown.  Every box is
   a real one, read and answered by the test bed. */
#include "doctest_config.h"
#include "dialogs.h"
#include "faults.h"
#include "messages.h"
#include "testbed.h"

#include <string>

using namespace testbed;

static std::string SystemText(DWORD error)
{
    char *text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, error, 0x0400,
                   (LPSTR)&text, 0, NULL);
    std::string result = text != NULL ? text : "";
    LocalFree(text);
    return result;
}

static const DWORD kErrorWithoutText = 0x20001234; /* customer bit: no system text */

struct Fixture {
    Fixture()
    {
        DeleteViewerAppPaths();
        InitResources(GetModuleHandleA(NULL));
        LoadCaption(IDS_APP_TITLE);
    }
    ~Fixture() { FreeResources(); }
};

/* Shows one message through call, answering it with button; returns the
   one recorded box after checking that the real box showed the same text. */
template <typename Call>
static RecordedBox ShowOne(Call call, int button, int *result)
{
    MessageBoxRecorder recorder;
    DialogAnswerer answerer({ Box(button) });
    *result = call();
    REQUIRE(answerer.Seen().size() == 1);
    REQUIRE(recorder.Boxes().size() == 1);
    const RecordedBox &box = recorder.Boxes()[0];
    std::string shown = answerer.Seen()[0].text;
    /* The static control may drop a trailing line break. */
    CHECK(box.text.compare(0, shown.size(), shown) == 0);
    CHECK(answerer.Seen()[0].title == "Corvala/400");
    CHECK(answerer.Seen()[0].owner == NULL);
    return box;
}

TEST_CASE_FIXTURE(Fixture, "messages read as the user sees them")
{
    int result = 0;
    SUBCASE("a plain message")
    {
        RecordedBox box = ShowOne([] { return ShowMessage(NULL, IDS_NO_FILENAME, 0x30); }, IDOK, &result);
        CHECK(box.text == "No filename provided.");
        CHECK(box.caption == "Corvala/400");
        CHECK(box.style == 0x30);
        CHECK(result == IDOK);
    }
    SUBCASE("a common-dialog code in hexadecimal")
    {
        RecordedBox box = ShowOne([] { return ShowMessageCode(NULL, IDS_PRINT_DIALOG_ERROR, 0x1008, 0x30); },
                                  IDOK, &result);
        CHECK(box.text == "PrintDialog box failed\nCD ERR 1008");
    }
    SUBCASE("a code without an id text")
    {
        RecordedBox box = ShowOne([] { return ShowMessageCode(NULL, 0, 3, 0x30); }, IDOK, &result);
        CHECK(box.text == "CD ERR 3");
    }
    SUBCASE("a system error")
    {
        RecordedBox box = ShowOne([] { return ShowSystemError(NULL, IDS_OPEN_PRINTER_ERROR, 1801, 0x30); },
                                  IDOK, &result);
        REQUIRE(!SystemText(1801).empty());
        CHECK(box.text == "Open Printer Error\n" + SystemText(1801));
    }
    SUBCASE("a system error without an id text is the system text alone")
    {
        RecordedBox box = ShowOne([] { return ShowSystemError(NULL, 0, ERROR_FILE_NOT_FOUND, 0x30); }, IDOK,
                                  &result);
        CHECK(box.text == SystemText(ERROR_FILE_NOT_FOUND));
    }
    SUBCASE("a system error without a system text keeps the line feed")
    {
        RecordedBox box = ShowOne([] { return ShowSystemError(NULL, IDS_READ_INPUT_ERROR, kErrorWithoutText, 0x30); },
                                  IDOK, &result);
        CHECK(box.text == "Reading inputfile Error\n");
    }
    SUBCASE("an error about a file")
    {
        RecordedBox box = ShowOne(
            [] { return ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, ERROR_FILE_NOT_FOUND, "C:\\x.cv", 0x30); },
            IDOK, &result);
        CHECK(box.text == "Unable to open file\nC:\\x.cv: " + SystemText(ERROR_FILE_NOT_FOUND));
    }
    SUBCASE("an error about a file without a system text: FILE ERR and the code")
    {
        RecordedBox box = ShowOne(
            [] { return ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, kErrorWithoutText, "C:\\x.cv", 0x30); },
            IDOK, &result);
        CHECK(box.text == "Unable to open file\nC:\\x.cv: FILE ERR 20001234");
    }
    SUBCASE("an error about a file without an id text")
    {
        RecordedBox box = ShowOne([] { return ShowSystemErrorFor(NULL, 0, kErrorWithoutText, "x", 0x30); }, IDOK,
                                  &result);
        CHECK(box.text == "x: FILE ERR 20001234");
    }
}

TEST_CASE_FIXTURE(Fixture, "the button chosen is returned")
{
    int result = 0;
    RecordedBox box = ShowOne(
        [] { return ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, ERROR_SHARING_VIOLATION, "C:\\o.cv", 0x35); },
        IDRETRY, &result);
    CHECK(box.style == 0x35);
    CHECK(result == IDRETRY);
    ShowOne([] { return ShowSystemError(NULL, IDS_OPEN_PRINTER_ERROR, 5, 0x35); }, IDCANCEL, &result);
    CHECK(result == IDCANCEL);
}

TEST_CASE_FIXTURE(Fixture, "a box that cannot be shown leads to a system-modal box")
{
    /* Wine shows a box even for an owner that is gone, so the first box is
       made to fail through the table; the second one is real. */
    MessageBoxRecorder recorder;
    DialogAnswerer answerer({ Box(IDOK) });
    recorder.FailNext(1);
    int result = ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, kErrorWithoutText, "C:\\x.cv", 0x35);
    CHECK(result == 0);
    REQUIRE(recorder.Boxes().size() == 2);
    CHECK(recorder.Boxes()[1].style == (MB_SYSTEMMODAL | MB_ICONERROR));
    CHECK(recorder.Boxes()[1].text == "FILE ERR 20001234");
    CHECK(recorder.Boxes()[1].caption == "Corvala/400");
    REQUIRE(answerer.Seen().size() == 1);
    CHECK(answerer.Seen()[0].text == "FILE ERR 20001234");
    CHECK(answerer.Seen()[0].topmost);
    CHECK(!answerer.Seen()[0].hasRetry);
}

TEST_CASE_FIXTURE(Fixture, "second boxes carry the shorter text of each function")
{
    MessageBoxRecorder recorder;
    DialogAnswerer answerer({ Box(IDOK), Box(IDOK), Box(IDOK) });
    recorder.FailNext(1);
    CHECK(ShowMessageCode(NULL, IDS_PRINT_DIALOG_ERROR, 0x1008, 0x30) == 0);
    recorder.FailNext(1);
    CHECK(ShowSystemError(NULL, IDS_OPEN_PRINTER_ERROR, 1801, 0x30) == 0);
    recorder.FailNext(1);
    CHECK(ShowMessage(NULL, IDS_NO_FILENAME, 0x30) == 0);
    CHECK(answerer.ScriptDone());
    REQUIRE(recorder.Boxes().size() == 6);
    CHECK(recorder.Boxes()[1].text == "CD ERR 1008");
    CHECK(recorder.Boxes()[3].text == SystemText(1801));
    CHECK(recorder.Boxes()[5].text == "No filename provided.");
    for (int i = 1; i < 6; i += 2)
        CHECK(recorder.Boxes()[i].style == 0x1010);
}

static void *__cdecl FailingMalloc(size_t) { return NULL; }
static HLOCAL WINAPI FailingLocalAlloc(UINT, SIZE_T) { return NULL; }

TEST_CASE_FIXTURE(Fixture, "without memory for the composed text the system text is shown alone")
{
    MessageBoxRecorder recorder;
    DialogAnswerer answerer({ Box(IDOK), Box(IDOK), Box(IDOK) });
    {
        SysCallOverride noMalloc("CorvMalloc", AsProc(FailingMalloc));
        ShowSystemError(NULL, IDS_OPEN_PRINTER_ERROR, 1801, 0x30);
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, ERROR_FILE_NOT_FOUND, "C:\\x.cv", 0x30);
    }
    {
        SysCallOverride noLocal("LocalAlloc", AsProc(FailingLocalAlloc));
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, kErrorWithoutText, "C:\\x.cv", 0x30);
    }
    REQUIRE(recorder.Boxes().size() == 3);
    CHECK(recorder.Boxes()[0].text == SystemText(1801));
    CHECK(recorder.Boxes()[1].text == SystemText(ERROR_FILE_NOT_FOUND));
    CHECK(recorder.Boxes()[2].text == "Unable to open file\nC:\\x.cv: ");
}

TEST_CASE_FIXTURE(Fixture, "long texts are shown whole")
{
    /* The partial satellite's 5012 is 1023 characters long. */
    std::string dir = MakeScratchDir("long-text");
    REQUIRE(CopyFileA(WinePath(CORV_PARTIAL_SATELLITE).c_str(), (dir + "\\corvres.dll").c_str(), FALSE));
    REQUIRE(SetViewerAppPaths("", dir));
    InitResources(GetModuleHandleA(NULL));
    std::string longText(1023, 'L');
    std::string url = "http://127.0.0.1/" + std::string(6000, 'u');

    MessageBoxRecorder recorder;
    DialogAnswerer answerer({ Box(IDOK), Box(IDOK), Box(IDOK) });
    ShowMessageCode(NULL, IDS_WRITE_DISK_ERROR, 0xFFFFFFFF, 0x30);
    ShowSystemError(NULL, IDS_WRITE_DISK_ERROR, ERROR_DISK_FULL, 0x30);
    ShowSystemErrorFor(NULL, IDS_WRITE_DISK_ERROR, ERROR_DISK_FULL, url.c_str(), 0x30);
    REQUIRE(recorder.Boxes().size() == 3);
    CHECK(recorder.Boxes()[0].text == longText + "\nCD ERR ffffffff");
    CHECK(recorder.Boxes()[1].text == longText + "\n" + SystemText(ERROR_DISK_FULL));
    CHECK(recorder.Boxes()[2].text == longText + "\n" + url + ": " + SystemText(ERROR_DISK_FULL));
    DeleteViewerAppPaths();
}

TEST_CASE_FIXTURE(Fixture, "a caller's own detail takes the place of the system text")
{
    MessageBoxRecorder recorder;
    DialogAnswerer answerer({ Box(IDOK) });
    ShowDetailFor(NULL, IDS_OPEN_FILE_ERROR, "http://h/x.cv", "404 Not Found", 0x30);
    REQUIRE(recorder.Boxes().size() == 1);
    CHECK(recorder.Boxes()[0].text == "Unable to open file\nhttp://h/x.cv: 404 Not Found");
}
