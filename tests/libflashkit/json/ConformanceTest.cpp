// SPDX-License-Identifier: Apache-2.0
// Runs the shared JSON parsing test suite through the top-level parse with default options:
// files starting with y_ must be accepted, n_ rejected (apart from the deliberate deviations
// listed below), i_ may go either way but must not crash or hang.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "json/Parser.h"

namespace pocketjson {
namespace {

const std::string kSuiteDir = FLASHKIT_SOURCE_DIR "/../shared/conformance/json/test_parsing";

// n_ files the parser accepts on purpose, each with the deviation that explains it.
const std::map<std::string, std::string>& acceptedInvalidFiles() {
    static const char kOpenAtEnd[] =
        "an array or object left open right after its bracket or a comma at the very end of "
        "the text ends the parse with what it holds";
    static const char kRawBytes[] = "string bytes, raw control bytes included, are copied as is";
    static const std::map<std::string, std::string> files = {
        {"n_array_newlines_unclosed.json", kOpenAtEnd},                   // ["a",\n4\n,1,
        {"n_array_unclosed_trailing_comma.json", kOpenAtEnd},             // [1,
        {"n_structure_comma_instead_of_closing_brace.json", kOpenAtEnd},  // {"x": true,
        {"n_structure_lone-open-bracket.json", kOpenAtEnd},               // [
        {"n_structure_open_object.json", kOpenAtEnd},                     // {
        {"n_string_unescaped_ctrl_char.json", kRawBytes},                 // a zero byte in a string
        {"n_string_unescaped_newline.json", kRawBytes},
        {"n_string_unescaped_tab.json", kRawBytes},
        {"n_multidigit_number_then_00.json",
         "a zero byte after the top-level value ends the text"},  // 123 and a zero byte
        {"n_structure_incomplete_UTF8_BOM.json",
         "the byte order mark's bytes are skipped one by one while they match, so its first "
         "two bytes alone are skipped too"},
    };
    return files;
}

std::vector<std::string> suiteFiles() {
    std::vector<std::string> names;
    DIR* dir = opendir(kSuiteDir.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The file's bytes in a buffer of exactly their size, so that the address sanitizer catches a
// read past the end.
std::vector<char> readFile(const std::string& name) {
    std::ifstream in(kSuiteDir + "/" + name, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool accepts(const std::vector<char>& bytes, std::string* error) {
    Parser parser;
    Value value;
    const bool ok = parser.parse(bytes.data(), bytes.data() + bytes.size(), value);
    *error = parser.error();
    return ok;
}

TEST(JsonConformance, AcceptsValidAndRejectsInvalidTexts) {
    const std::vector<std::string> names = suiteFiles();
    if (names.empty()) GTEST_SKIP() << "the conformance suite is not at " << kSuiteDir;
    size_t valid = 0, invalid = 0, either = 0;
    std::set<std::string> seenDeviations;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::vector<char> bytes = readFile(name);
        std::string error;
        const bool accepted = accepts(bytes, &error);
        switch (name[0]) {
        case 'y':
            ++valid;
            EXPECT_TRUE(accepted) << error;
            break;
        case 'n': {
            ++invalid;
            const auto deviation = acceptedInvalidFiles().find(name);
            if (deviation == acceptedInvalidFiles().end()) {
                EXPECT_FALSE(accepted) << "accepted an invalid text";
            } else {
                seenDeviations.insert(name);
                EXPECT_TRUE(accepted)
                    << "listed as accepted (" << deviation->second << ") but rejected: " << error;
            }
            break;
        }
        default: ++either; break;  // implementation-defined: only must not crash
        }
    }
    // A listed file that has gone from the suite would hide a stale entry.
    for (const auto& entry : acceptedInvalidFiles())
        EXPECT_TRUE(seenDeviations.count(entry.first)) << entry.first << " is not in the suite";
    EXPECT_GT(valid, 0u);
    EXPECT_GT(invalid, 0u);
    RecordProperty("files", static_cast<int>(names.size()));
    (void)either;
}

}  // namespace
}  // namespace pocketjson
