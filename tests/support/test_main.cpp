/* Entry point of every test program: the module's own string table is the
   deliverables' table, so the texts are those the deliverables show. */
#define DOCTEST_CONFIG_IMPLEMENT
#include "doctest_config.h"

#include <windows.h>

int main(int argc, char **argv)
{
    doctest::Context context(argc, argv);
    return context.run();
}
