/*
 * Preloaded into 32-bit Wine when it runs under qemu's user-mode emulator
 * (machines that cannot execute i386 code). The emulator treats the
 * MAP_FIXED_NOREPLACE flag as a plain address hint and hands out memory
 * elsewhere; Wine then keeps those misplaced reservations and fills the upper
 * address space, and its start-up degenerates into some 130000 mmap calls
 * (about a minute per process). Here the flag gets its kernel meaning: either
 * the mapping lands at the requested address or the call fails with EEXIST.
 *
 * Freestanding on purpose: it builds with the host compiler (-m32
 * -ffreestanding) and the host linker (-m elf_i386), no 32-bit C library
 * development files needed. Everything else is resolved in the C library at
 * load time.
 */
typedef unsigned int u32;
typedef void* (*mmap64_fn)(void*, u32, int, int, int, long long);

extern void* dlsym(void*, const char*);
extern int* __errno_location(void);
extern int munmap(void*, u32);

#define RTLD_NEXT ((void*)-1l)
#define FIXED_NOREPLACE 0x100000
#define EEXIST_CODE 17
#define MAP_FAILED_PTR ((void*)-1)

static mmap64_fn realMmap64;

void* mmap64(void* addr, u32 length, int prot, int flags, int fd, long long offset) {
    if (!realMmap64)
        realMmap64 = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
    if (!(flags & FIXED_NOREPLACE))
        return realMmap64(addr, length, prot, flags, fd, offset);
    void* result = realMmap64(addr, length, prot, flags & ~FIXED_NOREPLACE, fd, offset);
    if (result != MAP_FAILED_PTR && result != addr) {
        munmap(result, length);
        *__errno_location() = EEXIST_CODE;
        return MAP_FAILED_PTR;
    }
    return result;
}

void* mmap(void* addr, u32 length, int prot, int flags, int fd, long offset) {
    return mmap64(addr, length, prot, flags, fd, offset);
}
