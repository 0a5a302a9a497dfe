// SPDX-License-Identifier: Apache-2.0
// info, pack and unpack: the commands that work on package files only.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Failure.h"
#include "JsonOutput.h"
#include "Manifest.h"
#include "PackageInfo.h"

namespace flashkit {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using nlohmann::ordered_json;

struct InfoOptions {
    std::string package;
    bool json = false;
};

struct PackOptions {
    std::string manifest;
    std::string output;
    bool canonical = false;
    bool legacy = false;
};

struct UnpackOptions {
    std::string package;
    std::string output;
    bool force = false;
};

std::string LastErrorText() {
    const char* message = nullptr;
    FWGetLastError(&message);
    return message && *message ? message : "no reason given";
}

void RunInfo(const InfoOptions& options) {
    SetJsonMode(options.json);
    const PackageInfo info(options.package);
    if (options.json)
        EmitJson({{"result", "ok"}, {"package", info.json()}});
    else
        info.describe(std::cout);
}

void RunPack(const PackOptions& options) {
    const Manifest manifest = Manifest::Load(options.manifest);
    const bool legacy = options.legacy || manifest.legacy();
    if (legacy && options.canonical)
        throw Failure(ExitPackage, "--canonical writes the current format only; the manifest or "
                                   "--legacy asks for the legacy format");
    const Package file = manifest.build(legacy);
    const unsigned int flags = legacy              ? unsigned(FWSerializeOptionLegacy)
                               : options.canonical ? unsigned(FWSerializeOptionNoEncryption)
                                                   : 0u;
    if (!FWKfwFileSerializeToUtf8Path(file.get(), options.output.c_str(), flags))
        throw Failure(ExitPackage,
                      "cannot write package " + options.output + ": " + LastErrorText());
    std::cout << "Wrote " << options.output << (legacy ? " (legacy format)" : "")
              << (options.canonical ? " (canonical, unencrypted)" : "") << '\n';
}

// A file name for a blob: its name with anything unsafe for a path replaced, unique within
// the folder.
std::string ImageFileName(const std::string& blobName, std::set<std::string>& taken) {
    std::string base;
    for (char c : blobName)
        base += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_')
                    ? c
                    : '_';
    if (base.empty() || base == "." || base == "..") base = "blob";
    if (base.find('.') == std::string::npos) base += ".bin";
    std::string name = base;
    for (int n = 2; !taken.insert(name).second; ++n) name = base + "-" + std::to_string(n);
    return name;
}

void WriteFile(const fs::path& path, const char* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, std::streamsize(size));
    out.close();
    if (!out)
        throw Failure(ExitPackage, "cannot write " + path.string() + ": " + std::strerror(errno));
}

// The output folder with its images/ folder, refusing one that holds something unless forced.
fs::path PrepareUnpackFolder(const UnpackOptions& options) {
    const fs::path folder(options.output);
    std::error_code error;
    if (fs::exists(folder, error)) {
        if (!fs::is_directory(folder, error))
            throw Failure(ExitPackage, options.output + " exists and is not a folder");
        if (!fs::is_empty(folder, error) && !options.force)
            throw Failure(ExitPackage,
                          "folder " + options.output +
                              " is not empty; choose another or add --force to write into it");
    }
    fs::create_directories(folder / "images", error);
    if (error)
        throw Failure(ExitPackage,
                      "cannot create " + (folder / "images").string() + ": " + error.message());
    return folder;
}

using IdNames = std::map<std::string, std::string>;  // identifier text -> manifest name

// Writes each blob's image file and returns the manifest's blob list. Blob names are the
// package's own, so they must be there and unique.
ordered_json UnpackBlobs(const PackageInfo& info, const UnpackOptions& options,
                         const fs::path& folder, IdNames* blobNames, std::set<std::string>* files) {
    ordered_json list = ordered_json::array();
    std::set<std::string> names;
    for (const json& blob : info.json()["blobs"]) {
        const std::string name = blob["name"].get<std::string>();
        if (name.empty() || !names.insert(name).second)
            throw Failure(ExitPackage, "package " + options.package + " has " +
                                           (name.empty() ? "a blob without a name"
                                                         : "two blobs named \"" + name + "\"") +
                                           "; a manifest needs unique blob names");
        const std::string file = "images/" + ImageFileName(name, *files);
        const std::vector<unsigned char> bytes = info.blobBytes(blob["id"].get<std::string>());
        WriteFile(folder / file, reinterpret_cast<const char*>(bytes.data()), bytes.size());
        (*blobNames)[blob["id"].get<std::string>()] = name;
        list.push_back({{"name", name}, {"path", file}});
    }
    return list;
}

// The manifest's action list; actions get names made up here.
ordered_json UnpackActions(const json& package, const UnpackOptions& options,
                           const IdNames& blobNames, IdNames* actionNames) {
    ordered_json list = ordered_json::array();
    size_t index = 0;
    for (const json& action : package["actions"]) {
        const std::string name = "action-" + std::to_string(++index);
        (*actionNames)[action["id"].get<std::string>()] = name;
        ordered_json entry = {{"name", name}, {"type", action["type"]}};
        const auto blob = blobNames.find(action["blob"].get<std::string>());
        if (blob == blobNames.end())
            throw Failure(ExitPackage, "package " + options.package + ": action " +
                                           std::to_string(index) + " names blob " +
                                           action["blob"].get<std::string>() +
                                           ", which the package does not hold");
        entry["blob"] = blob->second;
        for (const char* key : {"fileName", "address", "updateFlagAddress"})
            if (action.contains(key)) entry[key] = action[key];
        entry["estimatedTime"] = action["estimatedTime"];
        list.push_back(entry);
    }
    return list;
}

ordered_json UnpackBundles(const json& package, const UnpackOptions& options,
                           const IdNames& actionNames) {
    ordered_json list = ordered_json::array();
    size_t index = 0;
    for (const json& bundle : package["bundles"]) {
        ordered_json entry = {{"name", "bundle-" + std::to_string(++index)}};
        entry["actions"] = ordered_json::array();
        for (const json& id : bundle["actions"]) {
            const auto action = actionNames.find(id.get<std::string>());
            if (action == actionNames.end())
                throw Failure(ExitPackage, "package " + options.package + ": bundle " +
                                               std::to_string(index) + " names action " +
                                               id.get<std::string>() +
                                               ", which the package does not hold");
            entry["actions"].push_back(action->second);
        }
        entry["conditions"] = bundle["conditions"];
        entry["estimatedTime"] = bundle["estimatedTime"];
        list.push_back(entry);
    }
    return list;
}

void RunUnpack(const UnpackOptions& options) {
    const PackageInfo info(options.package);
    const fs::path folder = PrepareUnpackFolder(options);
    const json& package = info.json();
    ordered_json manifest;
    if (info.legacy()) manifest["legacy"] = true;
    manifest["products"] = package["products"];
    manifest["targetVersions"] = package["version"];
    if (package.contains("deviceProfile")) manifest["deviceProfile"] = package["deviceProfile"];
    manifest["estimatedTimeMargin"] = package["estimatedTimeMargin"];
    IdNames blobNames, actionNames;
    std::set<std::string> files;
    manifest["blobs"] = UnpackBlobs(info, options, folder, &blobNames, &files);
    manifest["actions"] = UnpackActions(package, options, blobNames, &actionNames);
    manifest["bundles"] = UnpackBundles(package, options, actionNames);
    const std::string text = manifest.dump(2) + "\n";
    WriteFile(folder / "manifest.json", text.data(), text.size());
    std::cout << "Wrote " << (folder / "manifest.json").string() << " and " << files.size()
              << " image file" << (files.size() == 1 ? "" : "s") << " in "
              << (folder / "images").string() << '\n';
}

}  // namespace

void AddPackageCommands(CLI::App& app) {
    auto info = std::make_shared<InfoOptions>();
    CLI::App* infoCommand = app.add_subcommand(
        "info", "Show what a package holds: format, products, target versions, device profile, "
                "blobs with size and SHA-256, actions and bundles with their conditions.");
    infoCommand->add_option("PACKAGE", info->package, "the package file")->required();
    infoCommand->add_flag("--json", info->json,
                          "print one JSON object {\"result\":\"ok\",\"package\":...} holding the "
                          "package's JSON form");
    infoCommand->callback([info] { RunInfo(*info); });

    auto pack = std::make_shared<PackOptions>();
    CLI::App* packCommand = app.add_subcommand(
        "pack", "Build a package from a manifest (see docs/manifest.md); image paths are relative "
                "to the manifest's folder.");
    packCommand->add_option("MANIFEST", pack->manifest, "the manifest (JSON)")->required();
    packCommand->add_option("-o,--output", pack->output, "the package file to write")->required();
    CLI::Option* canonical = packCommand->add_flag(
        "--canonical", pack->canonical,
        "write the reproducible unencrypted form: equal content gives identical files (for "
        "comparing builds; info and unpack cannot open it)");
    packCommand->add_flag("--legacy", pack->legacy, "write a legacy-format package")
        ->excludes(canonical);
    packCommand->callback([pack] { RunPack(*pack); });

    auto unpack = std::make_shared<UnpackOptions>();
    CLI::App* unpackCommand = app.add_subcommand(
        "unpack", "Write a package's manifest (DIR/manifest.json) and image files (DIR/images/) so "
                  "that 'pack' builds a package with the same content.");
    unpackCommand->add_option("PACKAGE", unpack->package, "the package file")->required();
    unpackCommand->add_option("-o,--output", unpack->output, "the folder to write (DIR)")
        ->required();
    unpackCommand->add_flag("--force", unpack->force, "write into a folder that is not empty");
    unpackCommand->callback([unpack] { RunUnpack(*unpack); });
}

}  // namespace flashkit
