/* doctest as the tests use it: no threads of its own.  Test programs are
   built with exceptions so that a failed REQUIRE ends its test case; the
   code under test is compiled without them in its own libraries. */
#ifndef CORVALA_DOCTEST_CONFIG_H
#define CORVALA_DOCTEST_CONFIG_H

#define DOCTEST_CONFIG_NO_MULTITHREADING
#define DOCTEST_CONFIG_NO_POSIX_SIGNALS
#include <doctest.h>

#endif
