/* Installs the sandbox printer into the current Wine prefix:
     sandbox-printer <port command>
   The port command receives each document's bytes, e.g.
     |cat > /dir/job-$(date +%s%N).prn                                   */
#include "testbed.h"

#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: sandbox-printer <port command>\n");
        return 2;
    }
    if (!testbed::AddSandboxPrinter(argv[1])) {
        fprintf(stderr, "sandbox-printer: could not install the printer (error %lu)\n", GetLastError());
        return 1;
    }
    printf("sandbox printer \"%s\" installed as the default printer\n", testbed::PrinterName().c_str());
    return 0;
}
