// SPDX-License-Identifier: Apache-2.0
#include "core/OutputFileStream.h"

#include <climits>

#include "core/Exception.h"

namespace fwu {

OutputFileStream::~OutputFileStream() {
    if (m_file) std::fclose(m_file);
}

void OutputFileStream::open(const std::string& path) {
    close();
    FILE* file = std::fopen(path.c_str(), "wbe");
    if (!file) throw Exception(PackageError::kFopenFailed);
    m_file = file;
}

void OutputFileStream::close() {
    FILE* file = m_file;
    m_file = nullptr;
    m_position = 0;
    m_size = 0;
    // stdio buffers: the last bytes only reach the file here, and may fail to.
    if (file && std::fclose(file) != 0) throw Exception(PackageError::kFwriteFailed);
}

void OutputFileStream::seek(size_t position) {
    if (!m_file || position > static_cast<size_t>(LONG_MAX) ||
        std::fseek(m_file, static_cast<long>(position), SEEK_SET) != 0)
        throw Exception(PackageError::kFseekFailed);
    m_position = position;
}

void OutputFileStream::skip(size_t count) {
    if (!m_file || count > static_cast<size_t>(LONG_MAX) ||
        std::fseek(m_file, static_cast<long>(count), SEEK_CUR) != 0)
        throw Exception(PackageError::kFseekFailed);
    m_position += count;
}

void OutputFileStream::writeBytes(const void* source, size_t count) {
    if (count == 0) return;
    if (!m_file || std::fwrite(source, 1, count, m_file) != count) {
        if (m_file) std::fseek(m_file, static_cast<long>(m_position), SEEK_SET);
        throw Exception(PackageError::kFwriteFailed);
    }
    m_position += count;
    m_size += count;
}

}  // namespace fwu
