// Preloaded into the tool to play a file system without unnamed files
// (O_TMPFILE), as NFS and FAT are: the tool falls back to a named spool.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>

int openat(int folder, const char* path, int flags, ...) {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list more;
        va_start(more, flags);
        mode = va_arg(more, mode_t);
        va_end(more);
    }
    static int (*next)(int, const char*, int, ...);
    if (next == 0) *(void**)&next = dlsym(RTLD_NEXT, "openat");
    return next(folder, path, flags, mode);
}
