/* The control window of a windowed activation: its class, registered once
   per process and taken back when the library goes, and its painting,
   which windowless activation shares through OnWindowMessage. */
#include "control_object.h"
#include "module.h"

static const char kWindowClass[] = "CorvalaAXControlWindow";
static const DWORD kWindowStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

static ATOM g_windowClass = 0;

static HINSTANCE CodeModule()
{
    HMODULE module = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&g_windowClass), &module);
    return module;
}

static LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        const CREATESTRUCTA *create = reinterpret_cast<const CREATESTRUCTA *>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    CorvalaAXControl *control =
        reinterpret_cast<CorvalaAXControl *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (control != NULL) {
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            control->ControlWindowDestroyed(hwnd);
        }
        LRESULT result = 0;
        if (control->HandleWindowMessage(msg, wParam, lParam, &result))
            return result;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

/* A window whose code was unloaded must not keep its class. */
static void UnregisterWindowClass(void *)
{
    if (g_windowClass != 0 && UnregisterClassA(kWindowClass, CodeModule()))
        g_windowClass = 0;
}

static bool RegisterWindowClass()
{
    if (g_windowClass != 0)
        return true;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ControlWindowProc;
    wc.hInstance = CodeModule();
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    g_windowClass = RegisterClassExA(&wc);
    if (g_windowClass != 0)
        ModuleAddCleanup(UnregisterWindowClass, NULL);
    return g_windowClass != 0;
}

HRESULT CorvalaAXControl::CreateControlWindow(HWND parent, const RECT &position)
{
    if (!RegisterWindowClass())
        return HRESULT_FROM_WIN32(GetLastError());
    hwnd_ = CreateWindowExA(0, kWindowClass, "", kWindowStyle, position.left, position.top,
                            position.right - position.left, position.bottom - position.top,
                            parent, NULL, CodeModule(), this);
    return hwnd_ != NULL ? S_OK : E_FAIL;
}

void CorvalaAXControl::DestroyControlWindow()
{
    if (hwnd_ != NULL)
        DestroyWindow(hwnd_);   /* WM_NCDESTROY clears hwnd_ */
    hwnd_ = NULL;
}

/* The window can also go with its parent, before the container closes us. */
void CorvalaAXControl::ControlWindowDestroyed(HWND hwnd)
{
    if (hwnd_ == hwnd)
        hwnd_ = NULL;
}

/* Paints the client area of the window, or the position of a windowless
   control, with the device context the message brings or one of our own. */
bool CorvalaAXControl::HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT *result)
{
    if (msg != WM_PAINT)
        return false;
    HDC hdc = reinterpret_cast<HDC>(wParam);
    RECT bounds = position_;
    if (hwnd_ != NULL)
        GetClientRect(hwnd_, &bounds);
    PAINTSTRUCT paint;
    bool began = false;
    if (hdc == NULL && hwnd_ != NULL) {
        hdc = BeginPaint(hwnd_, &paint);
        began = true;
    }
    bool siteDC = false;
    if (hdc == NULL && windowless_ && inPlaceSite_ != NULL)
        siteDC = SUCCEEDED(WindowlessSite()->GetDC(NULL, 0, &hdc));
    if (hdc != NULL)
        PaintControl(hdc, bounds);
    if (siteDC)
        WindowlessSite()->ReleaseDC(hdc);
    if (began)
        EndPaint(hwnd_, &paint);
    *result = 0;
    return true;
}
