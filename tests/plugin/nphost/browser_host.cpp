#include "browser_host.h"

#include "browser_memory.h"

#include <algorithm>
#include <vector>

namespace nphost {

static const char kWindowClass[] = "CorvalaBrowserStandIn";

static void *HostMemAlloc(uint32_t size)
{
    return BrowserMemAlloc(size);
}

static void HostMemFree(void *block)
{
    BrowserMemFree(block);
}

static uint32_t HostMemFlush(uint32_t size)
{
    return 0;
}

PluginHost::PluginHost() : module_(NULL), entries_(), initialized_(false), pluginFuncs_(), browserFuncs_()
{
}

PluginHost::~PluginHost()
{
    if (initialized_)
        Shutdown();
    if (module_ != NULL)
        FreeLibrary(module_);
}

bool PluginHost::Load(const std::string &path)
{
    module_ = LoadLibraryA(path.c_str());
    if (module_ == NULL)
        return false;
    entries_.getEntryPoints = (NP_GetEntryPointsFunc)GetProcAddress(module_, "NP_GetEntryPoints");
    entries_.initialize = (NP_InitializeFunc)GetProcAddress(module_, "NP_Initialize");
    entries_.shutdown = (NP_ShutdownFunc)GetProcAddress(module_, "NP_Shutdown");
    return entries_.getEntryPoints != NULL && entries_.initialize != NULL && entries_.shutdown != NULL;
}

void PluginHost::Use(const EntryPoints &entries)
{
    entries_ = entries;
}

NPError PluginHost::GetEntryPoints()
{
    pluginFuncs_ = NPPluginFuncs();
    pluginFuncs_.size = sizeof(pluginFuncs_);
    return entries_.getEntryPoints(&pluginFuncs_);
}

NPError PluginHost::Initialize(uint16_t browserVersion)
{
    browserFuncs_ = NPNetscapeFuncs();
    browserFuncs_.size = sizeof(browserFuncs_);
    browserFuncs_.version = browserVersion;
    browserFuncs_.memalloc = HostMemAlloc;
    browserFuncs_.memfree = HostMemFree;
    browserFuncs_.memflush = HostMemFlush;
    NPError result = entries_.initialize(&browserFuncs_);
    initialized_ = result == NPERR_NO_ERROR;
    return result;
}

NPError PluginHost::Shutdown()
{
    initialized_ = false;
    return entries_.shutdown();
}

NPError PluginHost::Start(uint16_t browserVersion)
{
    NPError result = GetEntryPoints();
    if (result == NPERR_NO_ERROR)
        result = Initialize(browserVersion);
    return result;
}

static bool RegisterHostWindowClass()
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExA(GetModuleHandleA(NULL), kWindowClass, &wc))
        return true;
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExA(&wc) != 0;
}

HostInstance::HostInstance(PluginHost &host, bool visible)
    : host_(host), npp_(), window_(NULL), alive_(false), npWindow_()
{
    if (RegisterHostWindowClass())
        window_ = CreateWindowExA(0, kWindowClass, "Corvala browser stand-in", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 480, 320, NULL, NULL, GetModuleHandleA(NULL), NULL);
    if (window_ != NULL && visible)
        ShowWindow(window_, SW_SHOWNOACTIVATE);
}

HostInstance::~HostInstance()
{
    if (alive_)
        Destroy();
    if (window_ != NULL)
        DestroyWindow(window_);
}

NPError HostInstance::New(uint16_t mode)
{
    char *argn[] = { (char *)"type" };
    char *argv[] = { (char *)kMimeType };
    NPError result = host_.PluginFuncs().newp((NPMIMEType)kMimeType, &npp_, mode, 1, argn, argv, NULL);
    alive_ = result == NPERR_NO_ERROR;
    return result;
}

NPError HostInstance::SetWindow()
{
    RECT client = {};
    GetClientRect(window_, &client);
    npWindow_ = NPWindow();
    npWindow_.window = window_;
    npWindow_.width = (uint32_t)client.right;
    npWindow_.height = (uint32_t)client.bottom;
    npWindow_.clipRect.right = (uint16_t)client.right;
    npWindow_.clipRect.bottom = (uint16_t)client.bottom;
    npWindow_.type = NPWindowTypeWindow;
    return SetWindow(&npWindow_);
}

NPError HostInstance::SetWindow(NPWindow *window)
{
    return host_.PluginFuncs().setwindow(&npp_, window);
}

NPError HostInstance::Destroy()
{
    alive_ = false;
    NPSavedData *saved = NULL;
    return host_.PluginFuncs().destroy(&npp_, &saved);
}

HostStream::HostStream(HostInstance &instance, const char *url, uint32_t end)
    : instance_(instance), stream_(), url_(url), streamType_(NP_NORMAL), open_(false), delivered_(0)
{
    stream_.url = url_.c_str();
    stream_.end = end;
}

HostStream::~HostStream()
{
    if (open_)
        End(NPRES_USER_BREAK);
}

NPError HostStream::Open()
{
    streamType_ = NP_NORMAL;
    NPError result = instance_.Host().PluginFuncs().newstream(instance_.Npp(), (NPMIMEType)kMimeType, &stream_,
                                                              0, &streamType_);
    open_ = result == NPERR_NO_ERROR;
    return result;
}

int32_t HostStream::Write(const void *data, int32_t length)
{
    NPPluginFuncs &funcs = instance_.Host().PluginFuncs();
    int32_t ready = funcs.writeready(instance_.Npp(), &stream_);
    if (ready <= 0)
        return ready;
    return funcs.write(instance_.Npp(), &stream_, 0, std::min(length, ready), (void *)data);
}

bool HostStream::Feed(const std::string &data, size_t blockSize)
{
    return Feed(data.data(), data.size(), blockSize);
}

bool HostStream::Feed(const char *data, size_t size, size_t blockSize)
{
    NPPluginFuncs &funcs = instance_.Host().PluginFuncs();
    size_t offset = 0;
    while (offset < size) {
        int32_t ready = funcs.writeready(instance_.Npp(), &stream_);
        size_t block = std::min(std::min(blockSize, size - offset), (size_t)std::max(ready, 0));
        if (block == 0)
            return false;
        int32_t taken = funcs.write(instance_.Npp(), &stream_, (int32_t)(delivered_ + offset), (int32_t)block,
                                    (void *)(data + offset));
        if (taken <= 0)
            return false;
        offset += (size_t)taken;
    }
    delivered_ += size;
    return true;
}

bool HostStream::FeedFile(const std::string &path, size_t blockSize, uint64_t *fed,
                          void (*afterBlock)(void *context), void *context)
{
    *fed = 0;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block(blockSize);
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block.data(), (DWORD)blockSize, &got, NULL)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (!Feed(block.data(), got, got)) {
            ok = false;
            break;
        }
        *fed += got;
        if (afterBlock != nullptr)
            afterBlock(context);
    }
    CloseHandle(file);
    return ok;
}

NPError HostStream::End(NPReason reason)
{
    open_ = false;
    return instance_.Host().PluginFuncs().destroystream(instance_.Npp(), &stream_, reason);
}

} // namespace nphost
