/*
 * events.c - the same as blocking.c driven by events: the library posts notifications to a
 * message window of this thread, and a message loop dispatches them.
 *
 * usage: TESSAN_PASSWORD=... events HOST PORT USER COMMAND
 */
#include <platform/messages.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tessan.h>

#define WM_SSH_EVENT (WM_USER + 1)

static int exitStatus = 1;

static void ReportError(const char* what, DWORD error) {
    char text[256];
    SshGetErrorStringA(error, text, (INT)sizeof text);
    fprintf(stderr, "%s: %s (0x%08lX)\n", what, text, (unsigned long)error);
}

/* Reads whatever is buffered; in event mode SshRead never waits. */
static void Drain(HCLIENT client) {
    char buffer[4096];
    INT n;
    while ((n = SshRead(client, buffer, (INT)sizeof buffer)) > 0)
        fwrite(buffer, 1, (size_t)n, stdout);
}

/* wParam is the client handle, lParam the event in its low 16 bits (an error code above). */
static LRESULT EventWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)window;
    if (message != WM_SSH_EVENT) return 0;
    HCLIENT client = (HCLIENT)wParam;
    switch (lParam & 0xFFFF) {
        case SSH_EVENT_READ:
            Drain(client);
            break;
        case SSH_EVENT_DISCONNECT:
            Drain(client);
            printf("exit code: %d\n", SshGetExitCode(client));
            exitStatus = 0;
            SshDisconnect(client);
            PlatformPostQuitMessage(0);
            break;
        case SSH_EVENT_TIMEOUT:
            ReportError("timeout", SshGetLastError());
            SshDisconnect(client);
            PlatformPostQuitMessage(1);
            break;
        default:
            break;
    }
    return 0;
}

int main(int argc, char** argv) {
    const char* password = getenv("TESSAN_PASSWORD");
    if (argc != 5 || !password) {
        fprintf(stderr, "usage: TESSAN_PASSWORD=... %s HOST PORT USER COMMAND\n", argv[0]);
        return 2;
    }
    if (!SshInitializeA(NULL, NULL)) {
        ReportError("SshInitializeA", SshGetLastError());
        return 1;
    }
    HWND window = PlatformCreateWindow(EventWindow, NULL);
    SSHOPTIONS options;
    memset(&options, 0, sizeof options);
    options.dwSize = sizeof options;
    strncpy(options.szCommandLine, argv[4], sizeof options.szCommandLine - 1);

    /* Returns once the session runs (SSH_EVENT_CONNECT has been delivered by then). */
    HCLIENT client = SshAsyncConnectA(argv[1], atoi(argv[2]), argv[3], password, 30,
                                      SSH_OPTION_COMMAND, &options, NULL, window, WM_SSH_EVENT);
    if (client == INVALID_CLIENT) {
        ReportError("connect", SshGetLastError());
    } else {
        MSG message;
        while (PlatformGetMessage(&message, NULL, 0, 0) > 0)
            PlatformDispatchMessage(&message);
    }
    PlatformDestroyWindow(window);
    SshUninitialize();
    return exitStatus;
}
