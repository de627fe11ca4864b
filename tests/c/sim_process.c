/* The two ways of starting a program with its output in a pipe: posix_spawn and CreateProcess. */
#ifndef _WIN32
#define _POSIX_C_SOURCE 200809L
#endif

#include "sim_process.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
extern char** environ;
#endif

struct sim_process {
#ifdef _WIN32
    PROCESS_INFORMATION process;
    HANDLE output;
#else
    pid_t pid;
    int output;
#endif
    int port;
};

/* The port from "listening 127.0.0.1:PORT"; 0 when the line says nothing of it. */
static int port_of(const char* line) {
    const char* colon = strrchr(line, ':');
    return colon != NULL ? atoi(colon + 1) : 0;
}

#ifdef _WIN32

static int launch(sim_process* sim, const char* program) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE write_end;
    STARTUPINFOA startup;
    char command[MAX_PATH + 32];
    if (!CreatePipe(&sim->output, &write_end, &inherit, 0)) {
        return 0;
    }
    SetHandleInformation(sim->output, HANDLE_FLAG_INHERIT, 0);
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    snprintf(command, sizeof command, "\"%s\" --tcp 0", program);
    if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &sim->process)) {
        CloseHandle(write_end);
        return 0;
    }
    CloseHandle(write_end);
    return 1;
}

/* Reads one character within the time left; 0 when none came. */
static int read_char(sim_process* sim, char* out, DWORD* left_ms) {
    for (;;) {
        DWORD available = 0;
        DWORD got = 0;
        if (!PeekNamedPipe(sim->output, NULL, 0, NULL, &available, NULL)) {
            return 0;
        }
        if (available > 0) {
            return ReadFile(sim->output, out, 1, &got, NULL) && got == 1;
        }
        if (*left_ms < 10) {
            return 0;
        }
        Sleep(10); /* a bounded wait for the child's first line, not a pause under test */
        *left_ms -= 10;
    }
}

void sim_stop(sim_process* sim) {
    if (sim == NULL) {
        return;
    }
    TerminateProcess(sim->process.hProcess, 1);
    WaitForSingleObject(sim->process.hProcess, 10000);
    CloseHandle(sim->process.hThread);
    CloseHandle(sim->process.hProcess);
    CloseHandle(sim->output);
    free(sim);
}

#else

static int launch(sim_process* sim, const char* program) {
    int pipe_ends[2];
    posix_spawn_file_actions_t actions;
    char* argv[4];
    int started;
    argv[0] = (char*)program;
    argv[1] = (char*)"--tcp";
    argv[2] = (char*)"0";
    argv[3] = NULL;
    if (pipe(pipe_ends) != 0) {
        return 0;
    }
    fcntl(pipe_ends[0], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    started = posix_spawn(&sim->pid, program, &actions, NULL, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    sim->output = pipe_ends[0];
    if (!started) {
        close(sim->output);
    }
    return started;
}

static int read_char(sim_process* sim, char* out, int* left_ms) {
    struct pollfd entry;
    struct timespec before;
    struct timespec after;
    int ready;
    if (*left_ms <= 0) {
        return 0;
    }
    entry.fd = sim->output;
    entry.events = POLLIN;
    entry.revents = 0;
    clock_gettime(CLOCK_MONOTONIC, &before);
    ready = poll(&entry, 1, *left_ms);
    clock_gettime(CLOCK_MONOTONIC, &after);
    *left_ms -=
        (int)((after.tv_sec - before.tv_sec) * 1000 + (after.tv_nsec - before.tv_nsec) / 1000000);
    return ready > 0 && read(sim->output, out, 1) == 1;
}

void sim_stop(sim_process* sim) {
    int status;
    if (sim == NULL) {
        return;
    }
    /* Nothing of its state is needed afterwards: SIGKILL ends it at once and surely. */
    kill(sim->pid, SIGKILL);
    waitpid(sim->pid, &status, 0);
    close(sim->output);
    free(sim);
}

#endif

sim_process* sim_start(const char* program, int limit_ms) {
    char line[128];
    size_t length = 0;
    sim_process* sim = (sim_process*)calloc(1, sizeof *sim);
#ifdef _WIN32
    DWORD left_ms = (DWORD)limit_ms;
#else
    int left_ms = limit_ms;
#endif
    if (sim == NULL || !launch(sim, program)) {
        free(sim);
        return NULL;
    }
    while (length + 1 < sizeof line && read_char(sim, &line[length], &left_ms)) {
        if (line[length] == '\n') {
            break;
        }
        ++length;
    }
    line[length] = '\0';
    sim->port = port_of(line);
    if (sim->port <= 0) {
        fprintf(stderr, "qel-sim gave no port in time (first line: '%s')\n", line);
        sim_stop(sim);
        return NULL;
    }
    return sim;
}

int sim_port(const sim_process* sim) {
    return sim->port;
}
