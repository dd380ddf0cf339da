/* Answers the dialogs that other programs of the Wine prefix show, for the
   tests that start the viewer from outside (the installer's, the browser's):
     answer-dialogs <mode> <stop file> <timeout ms>
   where mode says what becomes of the next print dialog:
     print           confirms it with OK as it stands (one copy)
     print:<n>       confirms it with n copies typed in
     save:<path>     ticks print to file, confirms, and saves to path
     cancel          cancels it
     save-cancel     ticks print to file, confirms, and cancels the save dialog
     wait            leaves it up and prints "up print" as soon as it is up,
                     so that the test can end the viewer while it waits
     none            expects no print dialog
   Outside wait, every other dialog (message boxes among them) is closed
   with Cancel or OK.  Runs until the stop file exists or the time is up,
   then prints one line per dialog seen: "print", "save", "message <text>"
   or "other <title>" (nothing more in wait mode).                         */
#include "dialogs.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

using testbed::DialogStep;

static const int kCopiesEditId = 0x482;  /* print dialog: copies */
static const int kPrintToFileId = 0x410; /* print dialog: print to file */

/* The script for mode; false for a mode that does not exist. */
static bool ScriptFor(const char *mode, std::vector<DialogStep> *script)
{
    if (strcmp(mode, "print") == 0)
        script->push_back(testbed::PrintOk());
    else if (strncmp(mode, "print:", 6) == 0 && atoi(mode + 6) > 0)
        script->push_back(testbed::PrintOk(atoi(mode + 6)));
    else if (strncmp(mode, "save:", 5) == 0 && mode[5] != '\0')
        *script = { testbed::PrintOk(1, true), testbed::SaveAs(mode + 5) };
    else if (strcmp(mode, "cancel") == 0)
        script->push_back(testbed::PrintCancel());
    else if (strcmp(mode, "save-cancel") == 0)
        *script = { testbed::PrintOk(1, true), testbed::SaveCancel() };
    else if (strcmp(mode, "none") != 0)
        return false;
    return true;
}

static bool Stopped(const char *stopFile, DWORD started, DWORD timeout)
{
    return GetTickCount() - started >= timeout || GetFileAttributesA(stopFile) != INVALID_FILE_ATTRIBUTES;
}

static BOOL CALLBACK FindPrintDialog(HWND window, LPARAM found)
{
    char cls[16];
    if (IsWindowVisible(window) && GetClassNameA(window, cls, sizeof(cls)) && lstrcmpA(cls, "#32770") == 0 &&
        GetDlgItem(window, kCopiesEditId) != NULL && GetDlgItem(window, kPrintToFileId) != NULL) {
        *(HWND *)found = window;
        return FALSE;
    }
    return TRUE;
}

/* wait: says once that a print dialog is up and touches nothing. */
static void WaitForPrintDialog(const char *stopFile, DWORD timeout)
{
    DWORD started = GetTickCount();
    bool told = false;
    while (!Stopped(stopFile, started, timeout)) {
        HWND dialog = NULL;
        EnumWindows(FindPrintDialog, (LPARAM)&dialog);
        if (dialog != NULL && !told) {
            printf("up print\n");
            fflush(stdout);
            told = true;
        }
        Sleep(50);
    }
}

static void PrintSeen(const std::vector<testbed::SeenDialog> &seenDialogs)
{
    for (const testbed::SeenDialog &seen : seenDialogs) {
        std::string text = seen.text;
        for (char &c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        switch (seen.kind) {
        case testbed::DialogKind::PrintDialog: printf("print\n"); break;
        case testbed::DialogKind::SaveDialog: printf("save\n"); break;
        case testbed::DialogKind::MessageBox: printf("message %s\n", text.c_str()); break;
        default: printf("other %s\n", seen.title.c_str()); break;
        }
    }
}

int main(int argc, char **argv)
{
    std::vector<DialogStep> script;
    bool wait = argc >= 4 && strcmp(argv[1], "wait") == 0;
    if (argc < 4 || (!wait && !ScriptFor(argv[1], &script))) {
        fprintf(stderr, "usage: answer-dialogs <print|print:<n>|save:<path>|cancel|save-cancel|wait|none> "
                        "<stop file> <timeout ms>\n");
        return 2;
    }
    DWORD timeout = strtoul(argv[3], NULL, 10);
    if (wait) {
        WaitForPrintDialog(argv[2], timeout);
        return 0;
    }
    testbed::DialogAnswerer answerer(script, true);
    DWORD started = GetTickCount();
    while (!Stopped(argv[2], started, timeout))
        Sleep(50);
    PrintSeen(answerer.Seen());
    return 0;
}
