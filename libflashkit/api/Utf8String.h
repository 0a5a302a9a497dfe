#pragma once
#include <string>

// The exported owned-text handle: an independent copy that outlives what it was made from.
struct FWUtf8String {
    std::string text;
};
