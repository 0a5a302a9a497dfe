// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <string>

#include "core/InputStream.h"

namespace fwu {

// Reads a file through stdio. Closed until open() succeeds; a failed open leaves it closed.
class InputFileStream : public InputStream {
public:
    InputFileStream() = default;
    ~InputFileStream() override;

    void open(const std::string& path);
    void close();

    size_t position() const override { return m_position; }
    size_t byteSize() const override { return m_size; }
    // No check against the size: a seek past the end succeeds and the next read fails.
    void seek(size_t position) override;
    void skip(size_t count) override;
    void readBytes(void* destination, size_t count) override;
    using InputStream::readBytes;

    static bool exists(const std::string& path);

private:
    size_t m_position = 0;
    size_t m_size = 0;
    FILE* m_file = nullptr;
};

}  // namespace fwu
