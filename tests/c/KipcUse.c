// SPDX-License-Identifier: Apache-2.0
/* A C caller of the IPC functions: the public header in strict C11 and the shared library as
 * installed. TMPDIR names the folder for the socket file. */
#include <signal.h>
#include <string.h>

#include "kipc/kipc.h"

int main(void) {
    static const uint8_t message[] = "{\"id\": 0}";
    uint8_t received[sizeof message];
    KmBool timedOut = 7;
    IPC_LocalServer* server;
    IPC_LocalSocket* client;
    IPC_LocalSocket* accepted;
    IPC_Subprocess* child;

    if (IPC_LibraryVersion() != 0x01010001u) return 1;
    server = IPC_LocalServerCreateWithName("kipc-c-caller");
    if (!server) return 2;
    if (IPC_LocalServerWaitForNewConnection(server, 50, &timedOut) || timedOut != 1) return 3;
    client = IPC_LocalSocketCreateWithName("kipc-c-caller");
    if (!client || !IPC_LocalSocketConnectToServer(client)) return 4;
    if (!IPC_LocalSocketWrite(client, message, sizeof message)) return 5;
    accepted = IPC_LocalServerAccept(server);
    if (!accepted) return 6;
    if (!IPC_LocalSocketRead(accepted, received, sizeof received)) return 7;
    if (memcmp(received, message, sizeof message) != 0) return 8;
    IPC_LocalSocketRelease(accepted);
    /* The peer has gone: the write fails and the process lives on. */
    if (IPC_LocalSocketWrite(client, message, sizeof message)) return 9;
    IPC_LocalSocketRelease(client);
    IPC_LocalServerRelease(server);
    if (IPC_LocalSocketBytesAvailable(NULL) != 0xFFFFFFFFu) return 10;

    child = IPC_SubprocessCreate(2, "/bin/sleep", "60");
    if (!child || !IPC_SubprocessIsRunning(child)) return 11;
    if (!IPC_SubprocessKill(child, SIGTERM)) return 12;
    IPC_SubprocessRelease(child, -1);
    if (!IPC_ParentProcessIsRunning()) return 13;
    return 0;
}
