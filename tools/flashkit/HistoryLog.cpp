// SPDX-License-Identifier: Apache-2.0
#include "HistoryLog.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "FileDigest.h"
#include "UpdateHistory.h"

namespace flashkit {
namespace {

std::string AbsolutePath(const std::string& path) {
    const std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr),
                                                          &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

std::vector<std::string> VersionTexts(const std::vector<ShownDevice>& devices, bool after) {
    std::vector<std::string> texts;
    for (const ShownDevice& device : devices) {
        const std::string& text = after ? device.afterText : device.versionText;
        if (!text.empty() && text != "-" && text != "?") texts.push_back(text);
    }
    return texts;
}

}  // namespace

HistoryRecord StartHistoryRecord(const std::string& package, const MonitorEntry& monitor,
                                 const std::vector<ShownDevice>& before) {
    HistoryRecord record;
    record.start = HistoryRecord::now();
    record.tool = "flashkit";
    record.product = monitor.product;
    record.serial = monitor.serial;
    record.package = AbsolutePath(package);
    record.packageSha256 = FileSha256(package);
    record.versionsBefore = VersionTexts(before, false);
    return record;
}

void FinishHistoryRecord(HistoryRecord& record, const std::string& status, int32_t errorCode,
                         const std::string& outcome, const std::vector<ShownDevice>& after) {
    record.end = HistoryRecord::now();
    record.status = status;
    record.errorCode = errorCode;
    record.outcome = outcome;
    record.versionsAfter = VersionTexts(after, true);
    std::string error;
    if (!UpdateHistory().append(record, &error))
        std::fprintf(stderr, "flashkit: warning: the update history was not written: %s\n",
                     error.c_str());
}

}  // namespace flashkit
