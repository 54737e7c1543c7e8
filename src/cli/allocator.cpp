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

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

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

// With large_os_pages, mimalloc first asks for pages of the system's pool
// of reserved huge pages (MAP_HUGETLB), and advises ordinary memory only
// where that fails. Such a pool is set up for some program that needs it (a
// database server, say), not for this one: where the pool of 2 MiB pages has
// pages to give, or may grow, the heap stays on small pages.
bool HugePagePoolOffered() {
  for (const char* file : {"/sys/kernel/mm/hugepages/hugepages-2048kB/free_hugepages",
                           "/sys/kernel/mm/hugepages/hugepages-2048kB/nr_overcommit_hugepages"}) {
    const int fd = open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    char count[32];
    const ssize_t n = read(fd, count, sizeof count);
    close(fd);
    if (n > 0 && count[0] != '0') return true;
  }
  return false;
}

void HeapOnHugePages(int, char**, char** envp) {
  if (HugePagePoolOffered()) return;
  for (const Choice& choice : kChoices)
    if (!InEnvironment(choice.variable, envp)) mi_option_set(choice.option, choice.value);
}

}  // namespace

// NOLINTNEXTLINE: the array is read by the dynamic loader, not by the program.
[[gnu::section(".preinit_array"), gnu::used]] void (*const heapOnHugePages)(int, char**,
                                                                            char**) = HeapOnHugePages;
#endif
