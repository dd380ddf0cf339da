#include "dialogs.h"

#include <algorithm>

namespace testbed {

static const int kMessageTextId = 0xFFFF; /* the message of a message box */
static const int kCopiesEditId = 0x482;   /* print dialog: copies */
static const int kPrintToFileId = 0x410;  /* print dialog: print to file */
static const int kFileNameComboId = 0x47c; /* save dialog: file name */

DialogStep PrintOk(int copies, bool printToFile)
{
    return DialogStep{ DialogKind::PrintDialog, IDOK, copies, printToFile, "" };
}
DialogStep PrintCancel() { return DialogStep{ DialogKind::PrintDialog, IDCANCEL, 0, false, "" }; }
DialogStep SaveAs(const std::string &path) { return DialogStep{ DialogKind::SaveDialog, IDOK, 0, false, path }; }
DialogStep SaveCancel() { return DialogStep{ DialogKind::SaveDialog, IDCANCEL, 0, false, "" }; }
DialogStep Box(int button) { return DialogStep{ DialogKind::MessageBox, button, 0, false, "" }; }

static std::string TextOfWindow(HWND window)
{
    char text[4096] = {};
    if (window != NULL)
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
    return text;
}

static DialogKind Classify(HWND dialog)
{
    if (GetDlgItem(dialog, kCopiesEditId) != NULL && GetDlgItem(dialog, kPrintToFileId) != NULL)
        return DialogKind::PrintDialog;
    if (GetDlgItem(dialog, kFileNameComboId) != NULL)
        return DialogKind::SaveDialog;
    if (GetDlgItem(dialog, kMessageTextId) != NULL)
        return DialogKind::MessageBox;
    return DialogKind::Other;
}

static BOOL CALLBACK FindEdit(HWND child, LPARAM found)
{
    char cls[32];
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Edit") == 0) {
        *(HWND *)found = child;
        return FALSE;
    }
    return TRUE;
}

static void Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
}

DialogAnswerer::DialogAnswerer(std::vector<DialogStep> script, bool otherProcesses)
    : script_(std::move(script)), next_(0), ownerThread_(otherProcesses ? 0 : GetCurrentThreadId()), stop_(0)
{
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(NULL, 0, ThreadMain, this, 0, NULL);
}

DialogAnswerer::~DialogAnswerer()
{
    Stop();
    DeleteCriticalSection(&lock_);
}

void DialogAnswerer::Stop()
{
    if (thread_ == NULL)
        return;
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = NULL;
}

const std::vector<SeenDialog> &DialogAnswerer::Seen()
{
    Stop();
    return seen_;
}

size_t DialogAnswerer::Count(DialogKind kind)
{
    const std::vector<SeenDialog> &seen = Seen();
    return (size_t)std::count_if(seen.begin(), seen.end(), [kind](const SeenDialog &d) { return d.kind == kind; });
}

bool DialogAnswerer::ScriptDone()
{
    const std::vector<SeenDialog> &seen = Seen();
    bool allExpected = std::all_of(seen.begin(), seen.end(), [](const SeenDialog &d) { return d.expected; });
    return allExpected && next_ == script_.size();
}

std::vector<std::string> DialogAnswerer::MessageTexts()
{
    std::vector<std::string> texts;
    for (const SeenDialog &d : Seen())
        if (d.kind == DialogKind::MessageBox)
            texts.push_back(d.text);
    return texts;
}

DWORD WINAPI DialogAnswerer::ThreadMain(void *self)
{
    DialogAnswerer *answerer = (DialogAnswerer *)self;
    while (!answerer->stop_) {
        answerer->Poll();
        Sleep(25);
    }
    return 0;
}

struct PollState {
    DWORD thread;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectDialogs(HWND window, LPARAM param)
{
    PollState *state = (PollState *)param;
    char cls[16];
    if ((state->thread == 0 || GetWindowThreadProcessId(window, NULL) == state->thread) && IsWindowVisible(window) &&
        GetClassNameA(window, cls, sizeof(cls)) && lstrcmpA(cls, "#32770") == 0)
        state->found.push_back(window);
    return TRUE;
}

void DialogAnswerer::Poll()
{
    PollState state{ ownerThread_, {} };
    EnumWindows(CollectDialogs, (LPARAM)&state);
    /* Forget windows that have gone, so a reused handle counts as new. */
    handled_.erase(std::remove_if(handled_.begin(), handled_.end(), [](HWND w) { return !IsWindow(w); }),
                   handled_.end());
    for (HWND dialog : state.found) {
        if (std::find(handled_.begin(), handled_.end(), dialog) != handled_.end())
            continue;
        Sleep(50); /* let the dialog finish its initialisation */
        handled_.push_back(dialog);
        Handle(dialog);
    }
}

void DialogAnswerer::Handle(HWND dialog)
{
    SeenDialog seen{};
    seen.kind = Classify(dialog);
    seen.title = TextOfWindow(dialog);
    seen.owner = GetWindow(dialog, GW_OWNER);
    seen.hasOk = GetDlgItem(dialog, IDOK) != NULL;
    seen.hasCancel = GetDlgItem(dialog, IDCANCEL) != NULL;
    seen.hasRetry = GetDlgItem(dialog, IDRETRY) != NULL;
    seen.topmost = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (seen.kind == DialogKind::MessageBox)
        seen.text = TextOfWindow(GetDlgItem(dialog, kMessageTextId));

    bool expected = next_ < script_.size() && script_[next_].kind == seen.kind;
    seen.expected = expected;
    seen_.push_back(seen);

    if (!expected) {
        /* Not in the script: get it out of the way. */
        Click(dialog, seen.hasCancel ? IDCANCEL : IDOK);
        return;
    }
    const DialogStep &step = script_[next_++];
    if (seen.kind == DialogKind::PrintDialog && step.button == IDOK) {
        if (step.copies > 0)
            SendMessageTimeoutA(GetDlgItem(dialog, kCopiesEditId), WM_SETTEXT, 0,
                                (LPARAM)std::to_string(step.copies).c_str(), SMTO_ABORTIFHUNG, 2000, NULL);
        SendMessageTimeoutA(GetDlgItem(dialog, kPrintToFileId), BM_SETCHECK,
                            step.printToFile ? BST_CHECKED : BST_UNCHECKED, 0, SMTO_ABORTIFHUNG, 2000, NULL);
    }
    if (seen.kind == DialogKind::SaveDialog && step.button == IDOK) {
        HWND edit = NULL;
        EnumChildWindows(GetDlgItem(dialog, kFileNameComboId), FindEdit, (LPARAM)&edit);
        if (edit == NULL)
            edit = GetDlgItem(dialog, kFileNameComboId);
        /* Typed as UTF-8 when it is, so that any name can be typed. */
        wchar_t typed[MAX_PATH * 4];
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, step.fileName.c_str(), -1, typed, MAX_PATH * 4))
            SendMessageTimeoutW(edit, WM_SETTEXT, 0, (LPARAM)typed, SMTO_ABORTIFHUNG, 2000, NULL);
        else
            SendMessageTimeoutA(edit, WM_SETTEXT, 0, (LPARAM)step.fileName.c_str(), SMTO_ABORTIFHUNG, 2000, NULL);
    }
    Click(dialog, step.button);
}

} // namespace testbed
