/* The message boxes through which every failure reaches the user. */
#include "messages.h"
#include "syscalls.h"
#include "textcopy.h"

#include <stdio.h>
#include <string.h>

#define SECOND_BOX_STYLE (MB_SYSTEMMODAL | MB_ICONERROR)
/* A status number, a space and a reason phrase of up to 128 bytes. */
#define HTTP_DETAIL_CAPACITY 160

static MessageListener Listener;

void SetMessageListener(MessageListener listener)
{
    Listener = listener;
}

static int PutUpBox(HWND owner, const char *text, UINT style)
{
    if (Listener != NULL)
        Listener(text);
    return osCall(MessageBoxA)(owner, text, GetCaptionText(), style);
}

/* Shows text; when that box cannot be shown, shows fallbackText in a
   system-modal box.  Returns the first box's result. */
static int ShowBox(HWND owner, const char *text, const char *fallbackText, UINT style)
{
    int result = PutUpBox(owner, text, style);
    if (result == 0)
        PutUpBox(owner, fallbackText, SECOND_BOX_STYLE);
    return result;
}

/* The system's text for error, allocated by FormatMessageA, or NULL. */
static char *FormatSystemText(DWORD error)
{
    char *text = NULL;
    DWORD length = osCall(FormatMessageA)(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                          NULL, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                          (LPSTR)&text, 0, NULL);
    if (length == 0 && text != NULL) {
        LocalFree(text);
        text = NULL;
    }
    return text;
}

/* "FILE ERR <hex>" in a block from LocalAlloc, or NULL. */
static char *FormatFileErrorText(DWORD error)
{
    char *text = (char *)osCall(LocalAlloc)(LMEM_ZEROINIT, 20);
    if (text != NULL)
        snprintf(text, 20, "FILE ERR %lx", (unsigned long)error);
    return text;
}

/* Joins the parts into one malloc'd text; NULL parts are skipped.  Returns
   NULL when the memory cannot be had. */
static char *JoinText(const char *const *parts, int count)
{
    size_t total = 1;
    for (int i = 0; i < count; i++)
        total += parts[i] != NULL ? strlen(parts[i]) : 0;
    char *text = (char *)osCall(CorvMalloc)(total);
    if (text == NULL)
        return NULL;
    text[0] = '\0';
    for (int i = 0; i < count; i++) {
        if (parts[i] != NULL)
            strcat(text, parts[i]);
    }
    return text;
}

int ShowMessage(HWND owner, UINT id, UINT style)
{
    char text[MESSAGE_TEXT_CAPACITY];
    LoadText(id, text, MESSAGE_TEXT_CAPACITY);
    return ShowBox(owner, text, text, style);
}

int ShowMessageCode(HWND owner, UINT id, DWORD code, UINT style)
{
    char codeLine[20];
    snprintf(codeLine, sizeof(codeLine), "CD ERR %lx", (unsigned long)code);

    /* Room for the longest id text, the line feed and the code line. */
    char text[MESSAGE_TEXT_CAPACITY + sizeof(codeLine)];
    text[0] = '\0';
    if (id != 0) {
        LoadText(id, text, MESSAGE_TEXT_CAPACITY);
        strcat(text, "\n");
    }
    strcat(text, codeLine);
    return ShowBox(owner, text, codeLine, style);
}

int ShowSystemError(HWND owner, UINT id, DWORD error, UINT style)
{
    char *systemText = FormatSystemText(error);
    const char *shownSystemText = systemText != NULL ? systemText : "";

    char *composed = NULL;
    if (id != 0) {
        char idText[MESSAGE_TEXT_CAPACITY];
        LoadText(id, idText, MESSAGE_TEXT_CAPACITY);
        const char *parts[] = { idText, "\n", shownSystemText };
        composed = JoinText(parts, 3);
    }

    int result = ShowBox(owner, composed != NULL ? composed : shownSystemText, shownSystemText, style);

    if (systemText != NULL)
        LocalFree(systemText);
    free(composed);
    return result;
}

/* id text, line feed, subject, ": ", detail; the detail alone when the
   composed text cannot be allocated. */
static int ShowSubjectMessage(HWND owner, UINT id, const char *subject, const char *detail, UINT style)
{
    char idText[MESSAGE_TEXT_CAPACITY];
    idText[0] = '\0';
    if (id != 0)
        LoadText(id, idText, MESSAGE_TEXT_CAPACITY);
    const char *parts[] = { id != 0 ? idText : NULL, id != 0 ? "\n" : NULL,
                            subject != NULL ? subject : "", ": ", detail };
    char *composed = JoinText(parts, 5);
    int result = ShowBox(owner, composed != NULL ? composed : detail, detail, style);
    free(composed);
    return result;
}

int ShowSystemErrorFor(HWND owner, UINT id, DWORD error, const char *subject, UINT style)
{
    char *systemText = FormatSystemText(error);
    if (systemText == NULL)
        systemText = FormatFileErrorText(error);
    int result = ShowSubjectMessage(owner, id, subject, systemText != NULL ? systemText : "", style);
    if (systemText != NULL)
        LocalFree(systemText);
    return result;
}

int ShowDetailFor(HWND owner, UINT id, const char *subject, const char *detail, UINT style)
{
    return ShowSubjectMessage(owner, id, subject, detail != NULL ? detail : "", style);
}

int ShowHttpStatusFor(HWND owner, UINT id, const char *subject, DWORD status, const char *reason,
                      UINT style)
{
    char detail[HTTP_DETAIL_CAPACITY];
    if (reason != NULL && reason[0] != '\0')
        snprintf(detail, sizeof(detail), "%lu %s", (unsigned long)status, reason);
    else
        snprintf(detail, sizeof(detail), "%lu", (unsigned long)status);
    return ShowSubjectMessage(owner, id, subject, detail, style);
}
