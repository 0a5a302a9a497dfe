// SPDX-License-Identifier: Apache-2.0
/*
 * kipc: named local stream sockets between processes of one user, and child processes.
 *
 * Sockets: a name that starts with "/" is the socket's path; any other name is placed in the
 * folder named by TMPDIR (or "/tmp/" when it is unset or empty). Paths longer than 103 bytes
 * cannot be used. Bytes are moved as they are: no framing, no handshake.
 *
 * Client sockets are non-blocking: a read asking for more bytes than have arrived fails and
 * loses what it consumed, so wait and check IPC_LocalSocketBytesAvailable first. Sockets
 * handed out by IPC_LocalServerAccept block until the peer sends or takes the bytes.
 *
 * Ownership: every create function's result belongs to the caller until its release function.
 * Accepted sockets belong to their server: release them before the server, or let the server's
 * release destroy them (then they must not be released again).
 *
 * No function blocks on a lock or reports a message; failures are false, NULL or 0xFFFFFFFF.
 * One object is used by one thread at a time. This header compiles as C and C++.
 */
#ifndef KIPC_KIPC_H
#define KIPC_KIPC_H

#include <stdbool.h>
#include <stdint.h>

#if defined(KIPC_BUILDING)
#define KIPC_EXPORT __attribute__((visibility("default")))
#else
#define KIPC_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A 32-bit boolean: non-zero is true. The timed-out flags receive 1 or 0. */
typedef int32_t KmBool;

/* Opaque handles. */
typedef struct IPC_LocalServer IPC_LocalServer;
typedef struct IPC_LocalSocket IPC_LocalSocket;
typedef struct IPC_Subprocess IPC_Subprocess;

/* 0x01010001. */
KIPC_EXPORT uint32_t IPC_LibraryVersion(void);

/* ---- Server ---- */

/* A listening server under `name` (a socket file left by an earlier server is replaced), or
 * NULL when it cannot listen. Bit 0 of `options` makes the socket file usable by every user. */
KIPC_EXPORT IPC_LocalServer* IPC_LocalServerCreateWithName(const char* name);
KIPC_EXPORT IPC_LocalServer* IPC_LocalServerCreateWithNameAndOptions(const char* name,
                                                                     unsigned int options);
/* Waits up to `milliseconds` (negative: without limit) for a pending connection. `*timedOut`,
 * when given, is written whenever the wait ran: 1 when the time ran out, else 0. A failing wait
 * closes the server. */
KIPC_EXPORT bool IPC_LocalServerWaitForNewConnection(IPC_LocalServer* server, int milliseconds,
                                                     KmBool* timedOut);
/* Waits without limit for a connection and returns its socket, owned by the server. */
KIPC_EXPORT IPC_LocalSocket* IPC_LocalServerAccept(IPC_LocalServer* server);
/* Destroys the server, the accepted sockets not yet released, and the socket file. */
KIPC_EXPORT void IPC_LocalServerRelease(IPC_LocalServer* server);

/* ---- Socket ---- */

/* A client socket for `name`, not yet connected. */
KIPC_EXPORT IPC_LocalSocket* IPC_LocalSocketCreateWithName(const char* name);
/* Connects without waiting; false when nobody listens or the socket already has a connection. */
KIPC_EXPORT bool IPC_LocalSocketConnectToServer(IPC_LocalSocket* socket);
KIPC_EXPORT bool IPC_LocalSocketIsConnected(IPC_LocalSocket* socket);
/* True when exactly `length` bytes were read; the end of the stream is a failure. */
KIPC_EXPORT bool IPC_LocalSocketRead(IPC_LocalSocket* socket, uint8_t* buffer, unsigned int length);
/* True when exactly `length` bytes were written; a peer that has gone is a failure. */
KIPC_EXPORT bool IPC_LocalSocketWrite(IPC_LocalSocket* socket, const uint8_t* buffer,
                                      unsigned int length);
/* Waits up to `milliseconds` (negative: without limit) until data or the end of the stream can
 * be read; `*timedOut` as for IPC_LocalServerWaitForNewConnection. A failing wait closes the
 * socket. */
KIPC_EXPORT bool IPC_LocalSocketWaitForReadableState(IPC_LocalSocket* socket, int milliseconds,
                                                     KmBool* timedOut);
/* Bytes readable without waiting, or 0xFFFFFFFF. */
KIPC_EXPORT uint32_t IPC_LocalSocketBytesAvailable(IPC_LocalSocket* socket);
/* Closes and destroys the socket (an accepted one leaves its server's list). */
KIPC_EXPORT void IPC_LocalSocketRelease(IPC_LocalSocket* socket);

/* ---- Subprocess ---- */

/* Starts the program at the path `first` (no command search, environment inherited) with
 * `count` arguments in all: `first` and then count - 1 further const char*. NULL when count is
 * not 1 to 128, an argument is NULL, or the process cannot be forked. A program that cannot be
 * run shows as a child that ends at once with status 1. */
KIPC_EXPORT IPC_Subprocess* IPC_SubprocessCreate(int count, const char* first, ...);
/* True while the child runs; reaps it once it has ended. False for NULL. */
KIPC_EXPORT bool IPC_SubprocessIsRunning(IPC_Subprocess* process);
/* Sends `signal` to a running child; true when sent or when the child no longer runs. False for
 * NULL. */
KIPC_EXPORT bool IPC_SubprocessKill(IPC_Subprocess* process, int signal);
/* Destroys the handle. milliseconds > 0: polls every 100 ms and sends SIGKILL once that much
 * time has passed, then reaps the child. Negative: waits for the child without limit. 0: leaves
 * the child running unwatched. NULL is ignored. */
KIPC_EXPORT void IPC_SubprocessRelease(IPC_Subprocess* process, int milliseconds);
/* True while the calling process's parent is not the system's first process. */
KIPC_EXPORT bool IPC_ParentProcessIsRunning(void);

#ifdef __cplusplus
}
#endif

#endif
