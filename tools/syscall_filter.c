/* Runs a command under a seccomp filter that allows only the system calls a file names (one a
 * line) and refuses every other with EPERM: what systemd's SystemCallFilter= does with
 * SystemCallErrorNumber=EPERM, for running a unit's command line where no systemd runs it.
 * A name this machine's kernel does not know is left out, as systemd leaves it out.
 * syscall-filter LIST COMMAND [ARGUMENT...] */
#include <errno.h>
#include <seccomp.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static int AllowListed(scmp_filter_ctx filter, const char* path) {
    FILE* list = fopen(path, "r");
    if (list == NULL) {
        perror(path);
        return -1;
    }
    char name[128];
    int result = 0;
    while (result == 0 && fgets(name, sizeof name, list) != NULL) {
        name[strcspn(name, " \t\r\n")] = '\0';
        const int call = seccomp_syscall_resolve_name(name);
        if (name[0] != '\0' && call != __NR_SCMP_ERROR) {
            result = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0);
        }
    }
    fclose(list);
    return result;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: syscall-filter LIST COMMAND [ARGUMENT...]\n");
        return 2;
    }
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (filter == NULL) {
        fprintf(stderr, "syscall-filter: seccomp is not available here\n");
        return 1;
    }
    const int made = AllowListed(filter, argv[1]);
    const int loaded = made == 0 ? seccomp_load(filter) : made;
    seccomp_release(filter);
    if (loaded != 0) {
        fprintf(stderr, "syscall-filter: the filter does not load: %s\n", strerror(-loaded));
        return 1;
    }
    execvp(argv[2], argv + 2);
    perror(argv[2]);
    return 127;
}
