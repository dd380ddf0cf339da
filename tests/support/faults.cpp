#include "faults.h"

namespace testbed {

SysCallOverride::SysCallOverride(const char *name, FARPROC proc) : name_(name), previous_(GetSysCall(name))
{
    SetSysCall(name, proc);
}

SysCallOverride::~SysCallOverride()
{
    SetSysCall(name_, previous_);
}

BOOL WINAPI PrintDlgCopiesInNCopies(LPPRINTDLGA pd)
{
    BOOL ok = ::PrintDlgA(pd);
    if (ok) {
        DEVMODEA *devMode = (DEVMODEA *)GlobalLock(pd->hDevMode);
        pd->nCopies = (WORD)devMode->dmCopies;
        devMode->dmCopies = 1;
        GlobalUnlock(pd->hDevMode);
    }
    return ok;
}

static std::vector<RecordedBox> g_boxes;
static int g_failNext;
static FARPROC g_previousMessageBox;

static int WINAPI RecordingMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    int result = 0;
    if (g_failNext > 0)
        g_failNext--;
    else
        result = reinterpret_cast<decltype(&MessageBoxA)>(g_previousMessageBox)(owner, text, caption, style);
    g_boxes.push_back(RecordedBox{ text != NULL ? text : "", caption != NULL ? caption : "", style, owner, result });
    return result;
}

MessageBoxRecorder::MessageBoxRecorder()
{
    g_boxes.clear();
    g_failNext = 0;
    g_previousMessageBox = GetSysCall("MessageBoxA");
    SetSysCall("MessageBoxA", AsProc(RecordingMessageBox));
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetSysCall("MessageBoxA", g_previousMessageBox);
}

const std::vector<RecordedBox> &MessageBoxRecorder::Boxes() const
{
    return g_boxes;
}

void MessageBoxRecorder::FailNext(int count)
{
    g_failNext = count;
}

} // namespace testbed
