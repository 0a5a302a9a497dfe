// SPDX-License-Identifier: Apache-2.0
#include "UpdateHistory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flashkit {
namespace {

// Closes the descriptor (and so drops its lock) however the function is left.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}

// Every folder above `path`, created private to the user where missing.
bool MakeParents(const std::string& path, std::string* error) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return Fail(error, "cannot create " + folder);
    }
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += size_t(written);
    }
    return true;
}

int LockRetrying(int fd, int operation) {
    int result;
    do result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}

}  // namespace

UpdateHistory::UpdateHistory(std::string path) : m_path(std::move(path)) {}

std::string UpdateHistory::defaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state && state[0] == '/') {
        folder = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        folder = std::string(home) + "/.local/state";
    }
    return folder + "/flashkit/history.jsonl";
}

bool UpdateHistory::append(const HistoryRecord& record, std::string* error) const {
    if (m_path.empty()) {
        if (error) *error = "no folder for the history: neither XDG_STATE_HOME nor HOME is set";
        return false;
    }
    if (!MakeParents(m_path, error)) return false;
    // Read access too: the last byte tells whether the file ends with a whole line.
    const Descriptor file(::open(m_path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (file.get() < 0) return Fail(error, "cannot open " + m_path);
    if (LockRetrying(file.get(), LOCK_EX) != 0) return Fail(error, "cannot lock " + m_path);

    std::string line =
        record.toJson().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    line += '\n';
    // A line cut short (a crash, a full disk) must not swallow the new one: start on a line of
    // its own.
    struct stat status {};
    char last = '\n';
    if (::fstat(file.get(), &status) == 0 && status.st_size > 0 &&
        ::pread(file.get(), &last, 1, status.st_size - 1) == 1 && last != '\n')
        line.insert(line.begin(), '\n');
    if (!WriteAll(file.get(), line)) return Fail(error, "cannot write " + m_path);
    return true;
}

UpdateHistory::Contents UpdateHistory::read() const {
    Contents contents;
    if (m_path.empty()) return contents;
    const Descriptor file(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno != ENOENT)
            contents.warnings.push_back("cannot open " + m_path + ": " + std::strerror(errno));
        return contents;
    }
    // A writer finishes its line before a reader sees the file.
    LockRetrying(file.get(), LOCK_SH);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            contents.warnings.push_back("cannot read " + m_path + ": " + std::strerror(errno));
            break;
        }
        if (count == 0) break;
        text.append(buffer, size_t(count));
    }

    size_t number = 0;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
        std::optional<HistoryRecord> record;
        if (!object.is_discarded()) record = HistoryRecord::fromJson(object);
        if (!record) {
            contents.warnings.push_back(m_path + ", line " + std::to_string(number) +
                                        ": not a history record; skipped");
            continue;
        }
        contents.records.push_back(std::move(*record));
    }
    return contents;
}

}  // namespace flashkit
