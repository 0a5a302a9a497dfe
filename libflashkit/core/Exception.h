// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <exception>
#include <string>

#include "core/ErrorCatalogue.h"
#include "core/ErrorCode.h"
#include "core/KmError.h"

namespace fwu {

// The one exception type of the package code. The message carries the code so that a caught
// failure can be told apart without the enum: "Invalid kfw file, 0x00040000".
class Exception : public std::exception {
public:
    Exception(const char* message, ErrorCode code, KmError error = 0);
    // The catalogue's code and message of `error`.
    explicit Exception(PackageError error);

    ErrorCode code() const { return m_code; }
    KmError error() const { return m_error; }
    const char* what() const noexcept override { return m_message.c_str(); }
    bool isKmError() const { return m_code == ErrorMonitorControl; }

private:
    ErrorCode m_code;
    KmError m_error;
    std::string m_message;
};

}  // namespace fwu
