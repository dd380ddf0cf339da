/* Structure sizes that 32-bit Windows fixes and that the deliverables rely
   on: a 32-bit build that disagrees must not compile. */
#include <windows.h>
#include <commdlg.h>
#include <stddef.h>

/* OPENFILENAME_SIZE_VERSION_400A is not a constant expression in C++. */
#define OFN_400A_SIZE (offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR))

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(PRINTDLGA) == 66, "PRINTDLGA is 66 bytes in 32-bit Windows");
static_assert(OFN_400A_SIZE == 76, "the short OPENFILENAMEA is 76 bytes in 32-bit Windows");
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA is 68 bytes in 32-bit Windows");
static_assert(sizeof(DOC_INFO_1A) == 12, "DOC_INFO_1A is three pointers");
#else
static_assert(OFN_400A_SIZE == 136, "the short OPENFILENAMEA in 64-bit Windows");
static_assert(sizeof(PRINTDLGA) == 120, "PRINTDLGA in 64-bit Windows");
static_assert(sizeof(STARTUPINFOA) == 104, "STARTUPINFOA in 64-bit Windows");
#endif
