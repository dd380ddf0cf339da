/* doctest as the tests use it: no exceptions, no threads of its own. */
#ifndef CORVALA_DOCTEST_CONFIG_H
#define CORVALA_DOCTEST_CONFIG_H

#define DOCTEST_CONFIG_NO_EXCEPTIONS_BUT_WITH_ALL_ASSERTS
#define DOCTEST_CONFIG_NO_MULTITHREADING
#define DOCTEST_CONFIG_NO_POSIX_SIGNALS
#include <doctest.h>

#endif
