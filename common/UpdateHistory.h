// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "HistoryRecord.h"

namespace flashkit {

// The update history of this user: one JSON line per update attempt, shared by the
// command-line tool and the desktop updater. Appends take an exclusive lock on the file, so
// that two programs never interleave their lines; reads take a shared one.
class UpdateHistory {
public:
    explicit UpdateHistory(std::string path = defaultPath());

    // $XDG_STATE_HOME/flashkit/history.jsonl, with ~/.local/state when XDG_STATE_HOME is unset
    // or not an absolute path; empty when neither it nor HOME is known.
    static std::string defaultPath();
    const std::string& path() const { return m_path; }

    // Adds one line, creating the folders as needed; false with the reason in `error`.
    bool append(const HistoryRecord& record, std::string* error = nullptr) const;

    struct Contents {
        std::vector<HistoryRecord> records;  // oldest first
        std::vector<std::string> warnings;   // lines that were skipped, and why
    };
    // Every readable record; a missing file is an empty history.
    Contents read() const;

private:
    std::string m_path;
};

}  // namespace flashkit
