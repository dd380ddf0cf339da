/* Stands in for the viewer when the control hands a file over: writes down
   the command line and the bytes of the file it was given, then deletes the
   file as the viewer does with -d.  Records go to the folder named by
   CORV_VIEWER_RECORD_DIR, as <name>.dat (the bytes) and then <name>.cmd (the
   command line, and on a second line whether the file could be deleted).
   The name starts with the time of the run, so names sort in run order.
   Given -o <file>, as the print host starts it, it then writes the outcome
   that CORV_VIEWER_RECORD_OUTCOME names into that file, each "\n" in it
   (backslash, n) as CR LF; unset, "printed 1\r\n"; "none" writes nothing,
   as a viewer that was killed. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void WriteOutcome(int argc, char **argv)
{
    const char *file = NULL;
    for (int i = 2; i + 1 < argc; i++)
        if (strcmp(argv[i], "-o") == 0)
            file = argv[i + 1];
    const char *text = getenv("CORV_VIEWER_RECORD_OUTCOME");
    if (text == NULL)
        text = "printed 1\\n";
    if (file == NULL || strcmp(text, "none") == 0)
        return;
    FILE *out = fopen(file, "wb");
    if (out == NULL)
        return;
    for (; *text != '\0'; text++) {
        if (text[0] == '\\' && text[1] == 'n')
            fputs("\r\n", out), text++;
        else
            fputc(*text, out);
    }
    fclose(out);
}

int main(int argc, char **argv)
{
    const char *dir = getenv("CORV_VIEWER_RECORD_DIR");
    if (dir == NULL || argc < 2)
        return 2;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    char name[64];
    snprintf(name, sizeof(name), "%08lx%08lx-%lu", now.dwHighDateTime, now.dwLowDateTime,
             GetCurrentProcessId());
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s\\%s.dat", dir, name);
    CopyFileA(argv[1], path, FALSE);
    BOOL deleted = DeleteFileA(argv[1]);
    char temp[MAX_PATH];
    snprintf(temp, sizeof(temp), "%s\\%s.tmp", dir, name);
    FILE *record = fopen(temp, "wb");
    if (record == NULL)
        return 3;
    fprintf(record, "%s\n%s\n", GetCommandLineA(), deleted ? "deleted" : "kept");
    fclose(record);
    snprintf(path, sizeof(path), "%s\\%s.cmd", dir, name);
    if (!MoveFileA(temp, path))
        return 4;
    WriteOutcome(argc, argv);
    return 0;
}
