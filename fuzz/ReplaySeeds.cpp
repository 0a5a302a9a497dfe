// SPDX-License-Identifier: Apache-2.0
// Runs a fuzz target once on every file of the seed folders given as arguments, so that a
// compiler without libFuzzer (and the sanitizer build of the tests) checks the corpus too.
// A folder that is missing or holds no file fails the run: a misspelt path must not pass.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool ReadFile(const fs::path& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The regular files directly in `folder`, sorted so that runs are alike; false when the folder
// cannot be listed.
bool ListFiles(const fs::path& folder, std::vector<fs::path>* files) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
        if (it->is_regular_file(error)) files->push_back(it->path());
    std::sort(files->begin(), files->end());
    return !error;
}

// The number of inputs run from `folder`, or -1 after telling why none could be.
long ReplayFolder(const fs::path& folder) {
    std::vector<fs::path> files;
    if (!ListFiles(folder, &files)) {
        std::fprintf(stderr, "cannot list the seed folder %s\n", folder.c_str());
        return -1;
    }
    if (files.empty()) {
        std::fprintf(stderr, "the seed folder %s holds no file\n", folder.c_str());
        return -1;
    }
    for (const fs::path& file : files) {
        std::vector<uint8_t> bytes;
        if (!ReadFile(file, &bytes)) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return -1;
        }
        // Named first, so that a crash tells which input caused it.
        std::fprintf(stderr, "%s (%zu bytes)\n", file.c_str(), bytes.size());
        // An exact-size copy, so that the sanitizers see a read past the end.
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        LLVMFuzzerTestOneInput(exact.get(), bytes.size());
    }
    return long(files.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SEED-FOLDER...\n", argv[0]);
        return 2;
    }
    long total = 0;
    for (int i = 1; i < argc; ++i) {
        const long count = ReplayFolder(argv[i]);
        if (count < 0) return 1;
        total += count;
    }
    std::printf("%ld inputs replayed\n", total);
    return 0;
}
