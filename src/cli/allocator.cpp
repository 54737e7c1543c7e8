// The program's heap on huge pages. Every page the program touches for the
// first time costs a page fault, and a pass over a form of a thousand fields
// touches several hundred pages of heap on its two threads; on a virtual
// machine a fault costs microseconds. mimalloc asks the kernel for 2 MiB
// pages for its heap when its option large_os_pages is on (where the kernel
// offers transparent huge pages on request; elsewhere nothing changes).
//
// The option must be set before mimalloc makes its first heap segment,
// which happens while the libraries start, before any initialiser of the
// program runs: the function below is in the program's pre-initialisation
// array, which the dynamic loader runs before the libraries' initialisers.
// A MIMALLOC_LARGE_OS_PAGES in the user's own environment still decides
// (mimalloc reads its names in any case). The cost: the heap's resident
// size grows in steps of 2 MiB, some 6 MB more at a thousand fields.
#ifdef CHKIMPORT_MIMALLOC
#include <mimalloc.h>

#include <strings.h>

namespace {

void HeapOnHugePages(int, char**, char** envp) {
  static constexpr char kOwnChoice[] = "MIMALLOC_LARGE_OS_PAGES=";
  for (char** e = envp; e && *e; ++e)
    if (strncasecmp(*e, kOwnChoice, sizeof kOwnChoice - 1) == 0) return;
  mi_option_set(mi_option_large_os_pages, 1);
}

}  // namespace

// NOLINTNEXTLINE: the array is read by the dynamic loader, not by the program.
[[gnu::section(".preinit_array"), gnu::used]] void (*const heapOnHugePages)(int, char**,
                                                                            char**) = HeapOnHugePages;
#endif
