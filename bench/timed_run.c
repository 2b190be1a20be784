/* Runs a command and prints, on standard error, its wall time, its user and system time (all
   its threads) in seconds to the microsecond, and its peak resident memory in KiB:
   "wall user system peak". /usr/bin/time rounds to 10 ms, a few percent of a benchmark run.
   Usage: timed_run COMMAND [ARGUMENTS...]; the command's standard error goes nowhere. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Seconds(struct timeval t) { return t.tv_sec + t.tv_usec / 1e6; }

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 2);
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  if (child < 0) return 2;
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) return 2;
  clock_gettime(CLOCK_MONOTONIC, &end);
  fprintf(stderr, "%.6f %.6f %.6f %ld\n",
          (end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9,
          Seconds(usage.ru_utime), Seconds(usage.ru_stime), usage.ru_maxrss);
  return 0;
}
