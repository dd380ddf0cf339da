/*
 * The test bed every test program shares: where the sandbox printer's jobs
 * land, scratch files, the viewer's App Paths key, the loopback HTTP server.
 * scripts/test.sh prepares the Wine prefix and exports the environment that
 * these helpers read.
 */
#ifndef CORVALA_TESTBED_H
#define CORVALA_TESTBED_H

#include <windows.h>
#include <string>
#include <vector>

namespace testbed {

/* Environment variable, or fallback when unset. */
std::string Env(const char *name, const char *fallback = "");
/* A Unix path as Wine names it (Z:\...). */
std::string WinePath(const std::string &unixPath);

/* --- files --------------------------------------------------------- */
std::string ReadBytes(const std::string &path);
bool WriteBytes(const std::string &path, const std::string &data);
bool FileExists(const std::string &path);
/* How many files in the temporary directory have names starting with prefix. */
int CountTempFiles(const char *prefix);
/* A fresh directory for one test, below the run's scratch directory. */
std::string MakeScratchDir(const char *label);
/* A file in a fresh scratch directory holding data. */
std::string MakeScratchFile(const char *name, const std::string &data);
/* data written copies times in a row, as a job with copies produces it. */
std::string Repeated(const std::string &data, int copies);
/* Deterministic bytes of every value, for byte-exact comparisons. */
std::string PatternBytes(size_t size, unsigned seed = 1);

/* --- the sandbox printer ------------------------------------------- */
std::string PrinterName();
/* The files the sandbox printer's documents landed in, oldest first. */
std::vector<std::string> SpoolJobs();
/* Documents printed since a count taken with SpoolJobs().size(); waits a
   little for the port command to finish writing. */
std::vector<std::string> NewSpoolJobs(size_t before, size_t expected);
/* Installs the printer (driver, PPD, queue) and makes it the default. */
bool AddSandboxPrinter(const std::string &portCommand);
bool RemoveSandboxPrinter();
/* Brings the printer back after RemoveSandboxPrinter, as the default. */
bool RestoreSandboxPrinter();
/* Sets the number of copies in the printer's stored default settings. */
bool SetPrinterDefaultCopies(short copies);

/* --- registry -------------------------------------------------------- */
/* Writes the viewer's App Paths key; an empty value is left out. */
bool SetViewerAppPaths(const std::string &fullPath, const std::string &directory);
bool DeleteViewerAppPaths();
/* Creates HKCU\Software\CorvalaTests\<sub> afresh and returns its path. */
std::string FreshTestKey(const char *sub);
bool SetRegValue(const std::string &keyPath, const char *name, DWORD type, const void *data, DWORD size);

/* --- HTTP ----------------------------------------------------------- */
/* "http://127.0.0.1:<port>" of the loopback server. */
std::string HttpBase();
/* Publishes data under /files/<name> and returns its URL. */
std::string PublishFile(const std::string &name, const std::string &data);
/* How many times the server was asked for path. */
int HttpRequestCount(const std::string &path);

/* --- processes ------------------------------------------------------ */
/* Runs commandLine, waits up to timeoutMs, returns the exit code (or -1). */
int RunProcess(const std::string &application, const std::string &commandLine, DWORD timeoutMs);
/* Directory holding the test program. */
std::string ProgramDirectory();

} // namespace testbed

#endif
