// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "flashkit/flashkit.h"

namespace fwu {

// A device firmware version: one unsigned number, 0 meaning "no version", which matches every
// condition.
class Version {
public:
    enum Operator : uint32_t {
        OperatorNone = 0,
        OperatorEqual = 1,
        OperatorNotEqual = 2,
        OperatorLess = 3,
        OperatorLessEqual = 4,
        OperatorGreater = 5,
        OperatorGreaterEqual = 6,
    };

    Version() = default;
    Version(uint32_t value) : m_value(value) {}  // NOLINT: a raw number is a version
    // Reads a decimal number from the start of the text (leading white space skipped); text
    // that does not begin with a number, or whose number does not fit 32 bits, is empty.
    explicit Version(const std::string& text);

    uint32_t value() const { return m_value; }
    bool empty() const { return m_value == 0; }

    bool operator==(const Version& o) const { return m_value == o.m_value; }
    bool operator!=(const Version& o) const { return m_value != o.m_value; }
    bool operator<(const Version& o) const { return m_value < o.m_value; }
    bool operator<=(const Version& o) const { return m_value <= o.m_value; }
    bool operator>(const Version& o) const { return m_value > o.m_value; }
    bool operator>=(const Version& o) const { return m_value >= o.m_value; }

    // True when either side is empty; otherwise "this op other".
    bool match(const Version& other, Operator op) const;

    // Zero-padded to `width`; representation 1 is uppercase hexadecimal, others decimal.
    std::string toString(uint32_t width, FWVersionRepresentation representation) const;

    static Operator toOperator(const std::string& text);
    static std::string toString(Operator op);

private:
    uint32_t m_value = 0;
};

}  // namespace fwu
