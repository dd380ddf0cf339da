/*
 * Answers the real dialogs and message boxes that the code under test shows,
 * from a thread of the test process, following a script, and records what it
 * saw.  A window the script does not expect is recorded and cancelled, so a
 * test never hangs on a forgotten dialog.
 */
#ifndef CORVALA_DIALOGS_H
#define CORVALA_DIALOGS_H

#include <windows.h>
#include <string>
#include <vector>

namespace testbed {

enum class DialogKind { MessageBox, PrintDialog, SaveDialog, Other };

struct DialogStep {
    DialogKind kind;
    int button;             /* IDOK, IDCANCEL, IDRETRY, IDYES ... */
    int copies;             /* print dialog: copies to type in, 0 leaves it */
    bool printToFile;       /* print dialog: tick the print-to-file box */
    std::string fileName;   /* save dialog: the path to type in */
};

DialogStep PrintOk(int copies = 0, bool printToFile = false);
DialogStep PrintCancel();
DialogStep SaveAs(const std::string &path);
DialogStep SaveCancel();
DialogStep Box(int button = IDOK);

struct SeenDialog {
    DialogKind kind;
    std::string title;
    std::string text;       /* message boxes: the message */
    HWND owner;
    bool hasOk, hasCancel, hasRetry;
    bool topmost;
    bool expected;          /* matched the script */
};

class DialogAnswerer {
public:
    /* otherProcesses: answer the dialogs of every process of the prefix,
       not only those of the calling thread. */
    explicit DialogAnswerer(std::vector<DialogStep> script, bool otherProcesses = false);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer &) = delete;
    DialogAnswerer &operator=(const DialogAnswerer &) = delete;

    /* Stops the thread; afterwards Seen() is stable. */
    void Stop();
    const std::vector<SeenDialog> &Seen();
    size_t Count(DialogKind kind);
    /* Every step of the script was used and nothing unexpected appeared. */
    bool ScriptDone();
    /* Texts of the message boxes seen, in order. */
    std::vector<std::string> MessageTexts();

private:
    static DWORD WINAPI ThreadMain(void *self);
    void Poll();
    void Handle(HWND dialog);

    std::vector<DialogStep> script_;
    size_t next_;
    std::vector<SeenDialog> seen_;
    std::vector<HWND> handled_;
    DWORD ownerThread_; /* 0: any thread of any process */
    HANDLE thread_;
    volatile LONG stop_;
    CRITICAL_SECTION lock_;
};

} // namespace testbed

#endif
