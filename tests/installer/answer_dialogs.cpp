/* Answers the dialogs that other programs of the Wine prefix show, for the
   installer test, which starts the viewer through the shell:
     answer-dialogs <print|none> <stop file> <timeout ms>
   "print" confirms one print dialog with OK; every other dialog (message
   boxes among them) is closed with Cancel or OK.  Runs until the stop file
   exists or the time is up, then prints one line per dialog seen:
   "print", "message <text>" or "other <title>".                            */
#include "dialogs.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: answer-dialogs <print|none> <stop file> <timeout ms>\n");
        return 2;
    }
    std::vector<testbed::DialogStep> script;
    if (strcmp(argv[1], "print") == 0)
        script.push_back(testbed::PrintOk());
    testbed::DialogAnswerer answerer(script, true);
    DWORD timeout = strtoul(argv[3], NULL, 10);
    for (DWORD waited = 0; waited < timeout && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES;
         waited += 50)
        Sleep(50);
    for (const testbed::SeenDialog &seen : answerer.Seen()) {
        std::string text = seen.text;
        for (char &c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        switch (seen.kind) {
        case testbed::DialogKind::PrintDialog: printf("print\n"); break;
        case testbed::DialogKind::MessageBox: printf("message %s\n", text.c_str()); break;
        default: printf("other %s\n", seen.title.c_str()); break;
        }
    }
    return 0;
}
