// Runs a command and writes its peak memory and its page faults, for
// machines without /usr/bin/time:
//
//   maxrss -o FILE COMMAND [ARG...]
//
// FILE gets "Maximum resident set size (kbytes): N" and "Minor (reclaiming a
// frame) page faults: N", the lines /usr/bin/time -v prints, of the command
// and of every process it waited for (getrusage(RUSAGE_CHILDREN)). The exit
// status is the command's, or 128 + the signal that ended it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4 || std::string(argv[1]) != "-o") {
    std::fprintf(stderr, "usage: maxrss -o FILE COMMAND [ARG...]\n");
    return 2;
  }
  const char* output = argv[2];
  const pid_t child = fork();
  if (child < 0) {
    std::perror("maxrss: fork");
    return 127;
  }
  if (child == 0) {
    execvp(argv[3], argv + 3);
    std::fprintf(stderr, "maxrss: cannot run %s: %s\n", argv[3], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      std::perror("maxrss: waitpid");
      return 127;
    }
  }
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  if (FILE* out = std::fopen(output, "w")) {
    std::fprintf(out, "\tMaximum resident set size (kbytes): %ld\n", usage.ru_maxrss);
    std::fprintf(out, "\tMinor (reclaiming a frame) page faults: %ld\n", usage.ru_minflt);
    std::fclose(out);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}
