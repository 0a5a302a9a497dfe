// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <vector>

// A program started as a child process. Declared with the struct key because the public header
// names the same type for its opaque handles.
struct IPC_Subprocess {
public:
    // Element 0 is the program's path, the others its arguments.
    using Arguments = std::vector<std::string>;
    static constexpr std::size_t kMaxArguments = 128;

    virtual ~IPC_Subprocess();
    IPC_Subprocess(const IPC_Subprocess&) = delete;
    IPC_Subprocess& operator=(const IPC_Subprocess&) = delete;

    virtual bool exec() = 0;
    virtual bool isRunning() = 0;
    virtual bool kill(int signal) = 0;
    virtual bool wait(int milliseconds) = 0;

    const Arguments& arguments() const { return m_arguments; }

    static std::unique_ptr<IPC_Subprocess> newSubprocess(Arguments arguments);
    static bool parentProcessIsRunning();

protected:
    explicit IPC_Subprocess(Arguments arguments);

private:
    Arguments m_arguments;
};
