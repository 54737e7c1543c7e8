// The program's heap on huge pages. Every page the program touches for the
// first time costs a page fault, and a pass over a form of a thousand fields
// touches several hundred pages of heap on its two threads; on a virtual
// machine a fault costs microseconds. mimalloc asks the kernel for 2 MiB
// pages for its heap segments when its option large_os_pages is on (where
// the kernel offers transparent huge pages on request; elsewhere nothing
// changes), but not for a thread's first segment while that is committed
// piece by piece (eager_commit_delay, 1 by default): the writing thread's
// would stay on small pages.
//
// The options must be set before mimalloc makes its first heap segment,
// which happens while the libraries start, before any initialiser of the
// program runs: the function below is in the program's pre-initialisation
// array, which the dynamic loader runs before the libraries' initialisers.
// Either option in the user's own environment (MIMALLOC_LARGE_OS_PAGES,
// MIMALLOC_EAGER_COMMIT_DELAY) still decides. The cost: the heap's resident
// size grows in steps of 2 MiB, some 6 MB more at a thousand fields.
#ifdef CHKIMPORT_MIMALLOC
#include <mimalloc.h>

#include <strings.h>

#include <string_view>

namespace {

struct Choice {
  mi_option_t option;
  long value;
  std::string_view variable;  // mimalloc reads it whatever its case
};

constexpr Choice kChoices[] = {{mi_option_large_os_pages, 1, "MIMALLOC_LARGE_OS_PAGES="},
                               {mi_option_eager_commit_delay, 0, "MIMALLOC_EAGER_COMMIT_DELAY="}};

bool InEnvironment(std::string_view variable, char** envp) {
  for (char** e = envp; e && *e; ++e)
    if (strncasecmp(*e, variable.data(), variable.size()) == 0) return true;
  return false;
}

void HeapOnHugePages(int, char**, char** envp) {
  for (const Choice& choice : kChoices)
    if (!InEnvironment(choice.variable, envp)) mi_option_set(choice.option, choice.value);
}

}  // namespace

// NOLINTNEXTLINE: the array is read by the dynamic loader, not by the program.
[[gnu::section(".preinit_array"), gnu::used]] void (*const heapOnHugePages)(int, char**,
                                                                            char**) = HeapOnHugePages;
#endif
