// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <ios>
#include <string>
#include <utility>

#include "core/Exception.h"

namespace fwu::test {

// Runs `action` and checks that it throws fwu::Exception with exactly this code and what() text.
// Returns an assertion result so that a mismatch reports what was thrown instead.
template <typename Action>
::testing::AssertionResult throwsFwuException(Action&& action, ErrorCode code,
                                              const std::string& what) {
    try {
        action();
    } catch (const Exception& e) {
        if (e.code() == code && what == e.what()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "threw fwu::Exception with code 0x" << std::hex << static_cast<uint32_t>(e.code())
               << " and what() \"" << e.what() << "\"; expected code 0x"
               << static_cast<uint32_t>(code) << " and \"" << what << "\"";
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "threw another exception: " << e.what();
    } catch (...) {
        return ::testing::AssertionFailure() << "threw something that is not a std::exception";
    }
    return ::testing::AssertionFailure() << "did not throw; expected \"" << what << "\"";
}

// The same, with the code and message the error catalogue gives `error`.
template <typename Action>
::testing::AssertionResult throwsFwuException(Action&& action, PackageError error) {
    const PackageErrorEntry& entry = PackageErrorEntryOf(error);
    char code[16];
    std::snprintf(code, sizeof code, "%08x", static_cast<unsigned>(entry.code));
    return throwsFwuException(std::forward<Action>(action), entry.code,
                              std::string(entry.message) + ", 0x" + code);
}

}  // namespace fwu::test
