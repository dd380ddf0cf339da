/*
 * A browser stand-in: loads a plug-in library the way a browser does (entry
 * points by name, the version handshake), gives it the browser's function
 * table, creates instances with real windows and feeds streams in blocks.
 * Used by the tests and by the nphost program.
 */
#ifndef CORVALA_NPHOST_BROWSER_HOST_H
#define CORVALA_NPHOST_BROWSER_HOST_H

#include "npapi.h"

#include <string>

namespace nphost {

/* The interface version this stand-in announces unless told otherwise. */
const uint16_t kBrowserVersion = 0x000B;
const char kMimeType[] = "application/x-corvala400-ep";

struct EntryPoints {
    NP_GetEntryPointsFunc getEntryPoints;
    NP_InitializeFunc initialize;
    NP_ShutdownFunc shutdown;
};

class PluginHost {
public:
    PluginHost();
    /* Shuts the plug-in down if it was initialized and unloads it. */
    ~PluginHost();
    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

    /* LoadLibrary and the three entry points by name; false (with the
       reason in GetLastError) when any is missing. */
    bool Load(const std::string &path);
    /* Entry points linked into this process instead of a library. */
    void Use(const EntryPoints &entries);
    HMODULE Module() const { return module_; }

    NPError GetEntryPoints();
    NPError Initialize(uint16_t browserVersion = kBrowserVersion);
    NPError Shutdown();
    /* GetEntryPoints and Initialize; NPERR_NO_ERROR when both succeed. */
    NPError Start(uint16_t browserVersion = kBrowserVersion);

    NPPluginFuncs &PluginFuncs() { return pluginFuncs_; }
    NPNetscapeFuncs &BrowserFuncs() { return browserFuncs_; }

private:
    HMODULE module_;
    EntryPoints entries_;
    bool initialized_;
    NPPluginFuncs pluginFuncs_;
    NPNetscapeFuncs browserFuncs_;
};

/* One plug-in instance in a real top-level window of the stand-in. */
class HostInstance {
public:
    explicit HostInstance(PluginHost &host, bool visible = false);
    /* Destroys the instance if it is alive, then the window. */
    ~HostInstance();
    HostInstance(const HostInstance &) = delete;
    HostInstance &operator=(const HostInstance &) = delete;

    NPError New(uint16_t mode = NP_FULL);
    /* Hands the instance its window (or none). */
    NPError SetWindow();
    NPError SetWindow(NPWindow *window);
    NPError Destroy();

    NPP Npp() { return &npp_; }
    HWND Window() const { return window_; }
    PluginHost &Host() { return host_; }

private:
    PluginHost &host_;
    NPP_t npp_;
    HWND window_;
    bool alive_;
    NPWindow npWindow_;
};

/* One stream of the plug-in's MIME type delivered to an instance. */
class HostStream {
public:
    HostStream(HostInstance &instance, const char *url, uint32_t end);
    /* A browser ends every stream it opened; so does this one (with
       NPRES_USER_BREAK) if the test did not. */
    ~HostStream();
    HostStream(const HostStream &) = delete;
    HostStream &operator=(const HostStream &) = delete;

    NPError Open();
    /* One block after asking NPP_WriteReady; the plug-in's result. */
    int32_t Write(const void *data, int32_t length);
    /* data in blocks of blockSize (smaller when NPP_WriteReady offers
       less); false as soon as the plug-in refuses a block. */
    bool Feed(const std::string &data, size_t blockSize);
    bool Feed(const char *data, size_t size, size_t blockSize);
    /* The file's bytes in blocks of blockSize, read one block at a time;
       afterBlock (if any) is called with context after each block. */
    bool FeedFile(const std::string &path, size_t blockSize, uint64_t *fed,
                  void (*afterBlock)(void *context) = nullptr, void *context = nullptr);
    NPError End(NPReason reason = NPRES_DONE);

    NPStream &Raw() { return stream_; }
    uint16_t StreamType() const { return streamType_; }

private:
    HostInstance &instance_;
    NPStream stream_;
    std::string url_;
    uint16_t streamType_;
    bool open_;
    size_t delivered_;
};

} // namespace nphost

#endif
