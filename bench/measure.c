/* imgresize_measure: runs one command and reports its wall time and peak
 * resident memory.
 *
 *   imgresize_measure RESULT_FILE PROGRAM [ARGS...]
 *
 * Writes "<wall seconds> <peak RSS KiB> <exit code> <CPU seconds>" into
 * RESULT_FILE (CPU: user plus system time of the command). The
 * command's output goes where this program's goes.
 *
 * Linux counts the memory of the process that forks and execs into the
 * child's ru_maxrss, so measuring from a large interpreter would put a floor
 * of its size under every number; this launcher is small. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: imgresize_measure RESULT_FILE PROGRAM [ARGS...]\n");
        return 2;
    }
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = fork();
    if (child < 0) {
        perror("fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) < 0) {
        perror("wait4");
        return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double wall = (double)(end.tv_sec - start.tv_sec) + 1e-9 * (double)(end.tv_nsec - start.tv_nsec);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    FILE *result = fopen(argv[1], "w");
    if (result == NULL) {
        perror(argv[1]);
        return 2;
    }
    const double cpu = (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       1e-6 * (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    fprintf(result, "%.6f %ld %d %.6f\n", wall, usage.ru_maxrss, code, cpu);
    fclose(result);
    return code;
}
