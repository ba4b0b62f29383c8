/*
 * blocking.c - runs one command on an SSH server with a password login and prints its output
 * and exit code, using Tessan's blocking calls.
 *
 * usage: TESSAN_PASSWORD=... blocking HOST PORT USER COMMAND
 *
 * The password comes from the environment rather than the command line, where every user of
 * the machine could read it.
 *
 * The library does not check the server's host key: a real program compares the fingerprint
 * from SshGetSecurityInformationA with one it knows before trusting the connection.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tessan.h>

/* Prints what went wrong with the last call of this thread. */
static void ReportError(const char* what) {
    char text[256];
    DWORD error = SshGetLastError();
    SshGetErrorStringA(error, text, (INT)sizeof text);
    fprintf(stderr, "%s: %s (0x%08lX)\n", what, text, (unsigned long)error);
}

int main(int argc, char** argv) {
    const char* password = getenv("TESSAN_PASSWORD");
    if (argc != 5 || !password) {
        fprintf(stderr, "usage: TESSAN_PASSWORD=... %s HOST PORT USER COMMAND\n", argv[0]);
        return 2;
    }
    if (!SshInitializeA(NULL, NULL)) {
        ReportError("SshInitializeA");
        return 1;
    }
    SSHOPTIONS options;
    memset(&options, 0, sizeof options);
    options.dwSize = sizeof options;
    strncpy(options.szCommandLine, argv[4], sizeof options.szCommandLine - 1);

    int result = 1;
    HCLIENT client = SshConnectA(argv[1], atoi(argv[2]), argv[3], password, 30, SSH_OPTION_COMMAND,
                                 &options, NULL);
    if (client == INVALID_CLIENT) {
        ReportError("connect");
    } else {
        char buffer[4096];
        INT n;
        while ((n = SshRead(client, buffer, (INT)sizeof buffer)) > 0)
            fwrite(buffer, 1, (size_t)n, stdout);
        if (n == SSH_ERROR) {
            ReportError("read");
        } else {
            printf("exit code: %d\n", SshGetExitCode(client));
            result = 0;
        }
        SshDisconnect(client);
    }
    SshUninitialize();
    return result;
}
