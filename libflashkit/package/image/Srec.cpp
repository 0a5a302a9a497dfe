// SPDX-License-Identifier: Apache-2.0
// The dynamic-loader side of the S-record conversion: the converter itself lives in an outside
// library that is looked up by name at each call and unloaded afterwards.
#include "package/image/Srec.h"

#include <dlfcn.h>

#include <cstddef>

#include "core/Exception.h"

namespace fwu::kfw::file {

const char* const kSrecLibraryName = "syndfu.dll";

namespace {

// The library's handles are opaque; only the argument order and "0 is success" are relied on.
using RecordsCreateFromBytes = int (*)(const uint8_t* text, size_t length, void** records);
using RecordsRelease = void (*)(void* records);
using BytesCreateFromRecords = int (*)(void* records, void** image);
using BytesGetLength = size_t (*)(void* image);
using BytesCopyData = void (*)(void* image, uint8_t* destination, size_t length);
using BytesRelease = void (*)(void* image);

[[noreturn]] void Fail(PackageError error) { throw Exception(error); }

class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* name) : m_handle(dlopen(name, RTLD_LAZY | RTLD_LOCAL)) {}
    ~LoadedLibrary() {
        if (m_handle) dlclose(m_handle);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool loaded() const { return m_handle != nullptr; }
    template <typename Function> Function function(const char* name) const {
        return reinterpret_cast<Function>(dlsym(m_handle, name));
    }

private:
    void* m_handle;
};

// Releases a handle of the library when the conversion ends, also by an exception.
template <typename Release> class HandleGuard {
public:
    HandleGuard(void* handle, Release release) : m_handle(handle), m_release(release) {}
    ~HandleGuard() {
        if (m_handle) m_release(m_handle);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;

private:
    void* m_handle;
    Release m_release;
};

}  // namespace

std::vector<uint8_t> BytesFromSrecWithLibrary(const std::vector<uint8_t>& text,
                                              const char* library) {
    const LoadedLibrary loaded(library);
    if (!loaded.loaded()) Fail(PackageError::kSrecNotSupported);

    const auto createRecords = loaded.function<RecordsCreateFromBytes>("SDRecordsCreateFromBytes");
    const auto releaseRecords = loaded.function<RecordsRelease>("SDRecordsRelease");
    const auto createBytes = loaded.function<BytesCreateFromRecords>("SDBytesCreateFromRecords");
    const auto getLength = loaded.function<BytesGetLength>("SDBytesGetLength");
    const auto copyData = loaded.function<BytesCopyData>("SDBytesCopyData");
    const auto releaseBytes = loaded.function<BytesRelease>("SDBytesRelease");
    if (!createRecords || !releaseRecords || !createBytes || !getLength || !copyData ||
        !releaseBytes)
        Fail(PackageError::kSrecFunctionsMissing);

    void* records = nullptr;
    if (createRecords(text.data(), text.size(), &records) != 0) Fail(PackageError::kSrecInvalid);
    const HandleGuard<RecordsRelease> recordsGuard(records, releaseRecords);

    void* image = nullptr;
    if (createBytes(records, &image) != 0) Fail(PackageError::kSrecConversionFailed);
    const HandleGuard<BytesRelease> imageGuard(image, releaseBytes);

    std::vector<uint8_t> result(getLength(image));
    copyData(image, result.data(), result.size());
    return result;
}

std::vector<uint8_t> BytesFromSrec(const std::vector<uint8_t>& text) {
    return BytesFromSrecWithLibrary(text, kSrecLibraryName);
}

}  // namespace fwu::kfw::file
