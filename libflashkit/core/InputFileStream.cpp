// SPDX-License-Identifier: Apache-2.0
#include "core/InputFileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "core/Exception.h"

namespace fwu {

InputFileStream::~InputFileStream() { close(); }

void InputFileStream::open(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Exception(PackageError::kOpenFailed);
    struct stat info;
    const int statResult = ::fstat(fd, &info);
    ::close(fd);
    if (statResult != 0) throw Exception(PackageError::kFstatFailed);
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file) throw Exception(PackageError::kFopenFailed);
    m_file = file;
    m_size = static_cast<size_t>(info.st_size);
}

void InputFileStream::close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    m_position = 0;
    m_size = 0;
}

void InputFileStream::seek(size_t position) {
    if (!m_file || position > static_cast<size_t>(LONG_MAX) ||
        std::fseek(m_file, static_cast<long>(position), SEEK_SET) != 0)
        throw Exception(PackageError::kFseekFailed);
    m_position = position;
}

void InputFileStream::skip(size_t count) {
    if (!m_file || count > static_cast<size_t>(LONG_MAX) ||
        std::fseek(m_file, static_cast<long>(count), SEEK_CUR) != 0)
        throw Exception(PackageError::kFseekFailed);
    m_position += count;
}

void InputFileStream::readBytes(void* destination, size_t count) {
    if (count == 0) return;
    if (!m_file || std::fread(destination, 1, count, m_file) != count) {
        // Put the stdio position back so a failed read leaves the stream where it was.
        if (m_file) std::fseek(m_file, static_cast<long>(m_position), SEEK_SET);
        throw Exception(PackageError::kFreadFailed);
    }
    m_position += count;
}

bool InputFileStream::exists(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace fwu
