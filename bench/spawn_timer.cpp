// Whole-process wall time without an interpreter in between: runs a command
// N times with standard input, output and error on /dev/null and prints the
// wall time of each run in microseconds, one a line.
//
//   spawn_timer N PROGRAM [ARGUMENTS...]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

extern char** environ;

namespace {

double now_us() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: spawn_timer N PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  int runs = std::atoi(argv[1]);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  for (int i = 0; i < runs; ++i) {
    double start = now_us();
    pid_t pid;
    int status;
    if (posix_spawn(&pid, argv[2], &files, nullptr, argv + 2, environ) != 0 ||
        waitpid(pid, &status, 0) != pid) {
      std::perror("spawn_timer");
      return 1;
    }
    double elapsed = now_us() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "spawn_timer: %s did not exit with status 0\n", argv[2]);
      return 1;
    }
    std::printf("%.0f\n", elapsed);
  }
  return 0;
}
