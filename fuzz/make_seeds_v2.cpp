// SPDX-License-Identifier: Apache-2.0
// Writes seed inputs for the package fuzzers, made by the library itself:
//   make_seeds_v2 <file-corpus-dir> <body-corpus-dir>
// Whole files go to the first folder; the unencrypted bodies (from the canonical form) to the
// second.
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using namespace fwu::kfw;

Uuid addBlob(KfwFile& file, std::vector<uint8_t> bytes, const std::string& name) {
    auto blob = std::make_unique<Blob>();
    blob->setBytes(std::move(bytes));
    blob->setName(name);
    blob->setPath(name.empty() ? "" : "/images/" + name);
    return file.registerBlob(std::move(blob))->id();
}

Uuid addTransfer(KfwFile& file, const Uuid& blob, const std::string& target, uint32_t time) {
    auto a = std::make_unique<TransferDataAction>();
    a->setTransferData(blob, target);
    a->setEstimatedTime(time);
    return file.registerAction(std::move(a))->id();
}

Uuid addMStar(KfwFile& file, const Uuid& blob) {
    auto a = std::make_unique<TransferMStarDataAction>();
    a->setTransferData(blob, 0x20000, 0x3F000);
    a->setEstimatedTime(200);
    return file.registerAction(std::move(a))->id();
}

Uuid addZV(KfwFile& file, const Uuid& blob) {
    auto a = std::make_unique<TransferZVDataAction>();
    a->setTransferData(blob, 0x8000);
    a->setEstimatedTime(70000);
    return file.registerAction(std::move(a))->id();
}

void addBundle(KfwFile& file, const std::vector<Uuid>& actions, uint32_t device, uint32_t version,
               Version::Operator op) {
    auto b = std::make_unique<Bundle>();
    for (const Uuid& id : actions) b->push(id);
    b->addCondition({device, Version(version)}, op);
    b->setEstimatedTime(300);
    file.registerBundle(std::move(b));
}

void addProfile(KfwFile& file) {
    fwu::dev::DeviceProfile scaler;
    scaler.name = "Scaler";
    scaler.fileName = "KFW000";
    scaler.device = 1;
    scaler.versionRepresentation = 1;
    file.deviceProfile().push(scaler);
    file.deviceProfile().setDisplayDeviceIDs({1});
}

std::vector<std::function<void(KfwFile&)>> shapes() {
    return {
        [](KfwFile&) {},
        [](KfwFile& f) {
            f.products() = {"KM-24*", "KM-27A"};
            f.targetVersion().push({1, Version(0x0105)});
            const Uuid b = addBlob(f, {1, 2, 3, 4}, "scaler.bin");
            addBundle(f, {addTransfer(f, b, "KFW000", 120)}, 1, 0x0104, Version::OperatorLess);
        },
        [](KfwFile& f) {
            addProfile(f);
            const Uuid b = addBlob(f, std::vector<uint8_t>(200, 0x5A), "");
            addBundle(f, {addMStar(f, b)}, 1, 3, Version::OperatorGreaterEqual);
        },
        [](KfwFile& f) {
            f.updateEstimatedTimeMargin(128);
            const Uuid a = addBlob(f, {9, 8, 7}, "front.bin");
            const Uuid b = addBlob(f, {6, 5}, "fpga.bin");
            const Uuid t = addTransfer(f, a, "KFW001", 127);
            const Uuid z = addZV(f, b);
            addBundle(f, {t, z}, 2, 7, Version::OperatorNotEqual);
            addBundle(f, {z, fwu::Uuid::generate()}, 3, 0, Version::OperatorNone);
        },
    };
}

void save(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <file-corpus-dir> <body-corpus-dir>\n", argv[0]);
        return 2;
    }
    int n = 0;
    for (const auto& shape : shapes()) {
        fwu::kfw::v2::KfwFile file;
        shape(file);
        save(std::string(argv[1]) + "/seed" + std::to_string(n) + ".kfw2",
             fwu::fuzz::Write(file, 0));
        // The canonical form is not encrypted: from byte 64 on it is the body and its padding.
        const std::vector<uint8_t> canonical = fwu::fuzz::Write(file, 2);
        save(std::string(argv[2]) + "/seed" + std::to_string(n) + ".body",
             std::vector<uint8_t>(canonical.begin() + 64, canonical.end()));
        ++n;
    }
    std::printf("%d seeds written\n", n);
    return 0;
}
