#include "handles.h"
#include "syscalls.h"

void *GlobalLockGuard::Lock(HGLOBAL block)
{
    Unlock();
    if (block == NULL)
        return NULL;
    data_ = osCall(GlobalLock)(block);
    if (data_ != NULL)
        block_ = block;
    return data_;
}
