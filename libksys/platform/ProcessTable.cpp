// SPDX-License-Identifier: Apache-2.0
#include "platform/ProcessTable.h"

#include <cctype>
#include <string>

#include "platform/FileSystem.h"
#include "rules/ProcessText.h"

namespace ksys {

namespace {

bool IsPid(const std::string& name) {
    if (name.empty() || name.size() > 9) return false;
    for (char c : name)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::optional<ProcessInfo> ReadProcess(const std::string& pidText, bool withCommandLine) {
    const std::string folder = "/proc/" + pidText;
    ProcessInfo info;
    info.pid = std::stoi(pidText);
    const std::optional<std::string> shortName = FileSystem::readFile(folder + "/comm");
    const std::optional<std::string> executable = FileSystem::readLink(folder + "/exe");
    // Without either the process has ended since the folder was listed.
    if (!shortName && !executable) return std::nullopt;
    info.name = ProcessName(executable, shortName.value_or(std::string()));
    if (withCommandLine) {
        if (const std::optional<std::string> arguments = FileSystem::readFile(folder + "/cmdline"))
            info.commandLine = JoinArguments(*arguments);
    }
    return info;
}

}  // namespace

std::optional<std::vector<ProcessInfo>> ProcessTable::list(bool withCommandLines) {
    const std::optional<std::vector<std::string>> entries = FileSystem::listFolder("/proc");
    if (!entries) return std::nullopt;
    std::vector<ProcessInfo> processes;
    for (const std::string& entry : *entries) {
        if (!IsPid(entry)) continue;
        if (std::optional<ProcessInfo> info = ReadProcess(entry, withCommandLines))
            processes.push_back(std::move(*info));
    }
    return processes;
}

std::string ProcessTable::nameOf(int pid) {
    if (pid <= 0) return std::string();
    const std::optional<ProcessInfo> info = ReadProcess(std::to_string(pid), false);
    return info ? info->name : std::string();
}

}  // namespace ksys
