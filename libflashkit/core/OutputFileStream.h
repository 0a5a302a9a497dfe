// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <string>

#include "core/OutputStream.h"

namespace fwu {

// Writes a file through stdio; byteSize() counts every byte written, overwrites included.
class OutputFileStream : public OutputStream {
public:
    OutputFileStream() = default;
    ~OutputFileStream() override;

    // Creates or truncates the file.
    void open(const std::string& path);
    // Flushes and closes; a failed flush throws "fwrite failed" so that a full disk is not
    // reported as a written file.
    void close();

    size_t position() const override { return m_position; }
    size_t byteSize() const override { return m_size; }
    void seek(size_t position) override;
    void skip(size_t count) override;
    void writeBytes(const void* source, size_t count) override;

private:
    size_t m_position = 0;
    size_t m_size = 0;
    FILE* m_file = nullptr;
};

}  // namespace fwu
