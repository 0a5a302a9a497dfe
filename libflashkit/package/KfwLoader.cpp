#include "package/KfwLoader.h"

#include "core/Exception.h"
#include "core/InputByteStream.h"
#include "core/InputFileStream.h"
#include "package/v1/KfwFile.h"
#include "package/v1/KfwParser.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwParser.h"

namespace fwu::kfw {

void LoadKfwFile(std::unique_ptr<KfwFile>& out, InputStream* stream) {
    if (v2::KfwParser::isValid(stream)) {
        auto* file = new v2::KfwFile();
        out.reset(file);
        v2::KfwParser().parse(file, stream);
    } else if (v1::KfwParser::isValid(stream)) {
        auto* file = new v1::KfwFile();
        out.reset(file);
        v1::KfwParser().parse(file, stream);
    } else {
        throw Exception("Invalid kfw file", ErrorInvalidKfwFile);
    }
}

std::unique_ptr<KfwFile> LoadKfwFileFromPath(const std::string& path) {
    InputFileStream stream;
    stream.open(path);
    std::unique_ptr<KfwFile> file;
    LoadKfwFile(file, &stream);
    return file;
}

std::unique_ptr<KfwFile> LoadKfwFileFromBytes(const uint8_t* data, size_t size) {
    InputByteStream stream(data, size);
    std::unique_ptr<KfwFile> file;
    LoadKfwFile(file, &stream);
    return file;
}

}  // namespace fwu::kfw
