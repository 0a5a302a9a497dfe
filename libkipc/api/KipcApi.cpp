// SPDX-License-Identifier: Apache-2.0
// The exported functions: check the handle, call the object. Each body runs under a guard so
// no exception (only an allocation can throw) reaches a C caller.
#include <cstdarg>
#include <memory>
#include <string>
#include <utility>

#include "core/LocalServer.h"
#include "core/LocalSocket.h"
#include "core/Subprocess.h"
#include "kipc/kipc.h"

namespace {

constexpr uint32_t kLibraryVersion = KIPC_LIBRARY_VERSION_NUMBER;
constexpr uint32_t kCountUnknown = 0xFFFFFFFFu;

template <typename Result, typename Body> Result Guard(Result onFailure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

// Collects `count` arguments, `first` and then count - 1 from `rest`; empty when one is null.
IPC_Subprocess::Arguments CollectArguments(int count, const char* first, va_list rest) {
    IPC_Subprocess::Arguments arguments;
    bool complete = first != nullptr;
    if (complete) arguments.emplace_back(first);
    for (int i = 1; i < count; ++i) {
        const char* argument = va_arg(rest, const char*);
        if (!argument) complete = false;
        if (complete) arguments.emplace_back(argument);
    }
    if (!complete) arguments.clear();
    return arguments;
}

}  // namespace

extern "C" {

KIPC_EXPORT uint32_t IPC_LibraryVersion(void) { return kLibraryVersion; }

KIPC_EXPORT IPC_LocalServer* IPC_LocalServerCreateWithName(const char* name) {
    return IPC_LocalServerCreateWithNameAndOptions(name, 0);
}

KIPC_EXPORT IPC_LocalServer* IPC_LocalServerCreateWithNameAndOptions(const char* name,
                                                                     unsigned int options) {
    if (!name) return nullptr;
    return Guard<IPC_LocalServer*>(nullptr, [&]() -> IPC_LocalServer* {
        std::unique_ptr<IPC_LocalServer> server = IPC_LocalServer::newLocalServer(name, options);
        return server->listen() ? server.release() : nullptr;
    });
}

KIPC_EXPORT bool IPC_LocalServerWaitForNewConnection(IPC_LocalServer* server, int milliseconds,
                                                     KmBool* timedOut) {
    return server && server->waitForNewConnection(milliseconds, timedOut);
}

KIPC_EXPORT IPC_LocalSocket* IPC_LocalServerAccept(IPC_LocalServer* server) {
    if (!server) return nullptr;
    return Guard<IPC_LocalSocket*>(nullptr, [&] { return server->accept(); });
}

KIPC_EXPORT void IPC_LocalServerRelease(IPC_LocalServer* server) {
    std::unique_ptr<IPC_LocalServer> owned(server);
}

KIPC_EXPORT IPC_LocalSocket* IPC_LocalSocketCreateWithName(const char* name) {
    if (!name) return nullptr;
    return Guard<IPC_LocalSocket*>(nullptr,
                                   [&] { return IPC_LocalSocket::newLocalSocket(name).release(); });
}

KIPC_EXPORT bool IPC_LocalSocketConnectToServer(IPC_LocalSocket* socket) {
    return socket && socket->connectToServer();
}

KIPC_EXPORT bool IPC_LocalSocketIsConnected(IPC_LocalSocket* socket) {
    return socket && socket->isConnected();
}

KIPC_EXPORT bool IPC_LocalSocketRead(IPC_LocalSocket* socket, uint8_t* buffer,
                                     unsigned int length) {
    return socket && socket->read(buffer, length);
}

KIPC_EXPORT bool IPC_LocalSocketWrite(IPC_LocalSocket* socket, const uint8_t* buffer,
                                      unsigned int length) {
    return socket && socket->write(buffer, length);
}

KIPC_EXPORT bool IPC_LocalSocketWaitForReadableState(IPC_LocalSocket* socket, int milliseconds,
                                                     KmBool* timedOut) {
    return socket && socket->waitForReadableState(milliseconds, timedOut);
}

KIPC_EXPORT uint32_t IPC_LocalSocketBytesAvailable(IPC_LocalSocket* socket) {
    return socket ? socket->bytesAvaiable() : kCountUnknown;
}

KIPC_EXPORT void IPC_LocalSocketRelease(IPC_LocalSocket* socket) {
    if (!socket) return;
    socket->close();
    IPC_LocalServer* server = socket->referenceServer();
    std::unique_ptr<IPC_LocalSocket> owned =
        server ? server->removeConnectedSocket(socket) : nullptr;
    if (!owned) owned.reset(socket);
}

KIPC_EXPORT IPC_Subprocess* IPC_SubprocessCreate(int count, const char* first, ...) {
    if (count <= 0) return nullptr;
    va_list rest;
    va_start(rest, first);
    IPC_Subprocess* process = Guard<IPC_Subprocess*>(nullptr, [&]() -> IPC_Subprocess* {
        IPC_Subprocess::Arguments arguments = CollectArguments(count, first, rest);
        if (arguments.empty()) return nullptr;
        std::unique_ptr<IPC_Subprocess> started =
            IPC_Subprocess::newSubprocess(std::move(arguments));
        return started->exec() ? started.release() : nullptr;
    });
    va_end(rest);
    return process;
}

KIPC_EXPORT bool IPC_SubprocessIsRunning(IPC_Subprocess* process) {
    return process && process->isRunning();
}

KIPC_EXPORT bool IPC_SubprocessKill(IPC_Subprocess* process, int signal) {
    return process && process->kill(signal);
}

KIPC_EXPORT void IPC_SubprocessRelease(IPC_Subprocess* process, int milliseconds) {
    if (!process) return;
    std::unique_ptr<IPC_Subprocess> owned(process);
    owned->wait(milliseconds);
}

KIPC_EXPORT bool IPC_ParentProcessIsRunning(void) {
    return IPC_Subprocess::parentProcessIsRunning();
}

}  // extern "C"
