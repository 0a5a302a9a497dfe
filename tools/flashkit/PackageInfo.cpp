// SPDX-License-Identifier: Apache-2.0
#include "PackageInfo.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "Failure.h"

namespace flashkit {
namespace {

using Json = nlohmann::json;

std::string LastErrorText() {
    const char* message = nullptr;
    FWGetLastError(&message);
    return message && *message ? message : "not a package the library can read";
}

// The reproducible form is written with an all-zero initial vector and no encryption, and the
// reader always decrypts; such a file fails as a damaged one would, so say what it likely is.
std::string CanonicalHint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[32] = {};
    if (!in.read(header, sizeof header)) return "";
    for (size_t i = 16; i < sizeof header; ++i)
        if (header[i] != 0) return "";
    return ". It looks like a canonical (unencrypted) package, which is written for comparison "
           "only and cannot be opened; pack it without --canonical to inspect or unpack it";
}

uint32_t Number(const Json& value) { return value.is_number() ? value.get<uint32_t>() : 0; }

std::string Str(const Json& value) { return value.is_string() ? value.get<std::string>() : ""; }

// Versions and device IDs are written both ways: files and conditions use decimal, monitors
// often show hexadecimal.
std::string HexDec(uint32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%X (%u)", unsigned(value), unsigned(value));
    return text;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", unsigned(value));
    return text;
}

std::string Pad(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string PadLeft(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

const char* ComparisonSymbol(const std::string& word) {
    static const std::map<std::string, const char*> symbols = {
        {"eq", "=="}, {"ne", "!="}, {"lt", "<"}, {"le", "<="}, {"gt", ">"}, {"ge", ">="}};
    const auto it = symbols.find(word);
    return it == symbols.end() ? word.c_str() : it->second;
}

using DeviceNames = std::map<uint32_t, std::string>;

// Device IDs with their names from the package's device profile, for the description.
DeviceNames ReadDeviceNames(const Json& j) {
    DeviceNames names;
    if (j.contains("deviceProfile"))
        for (const Json& device : j["deviceProfile"]["devices"])
            names[Number(device["device"])] = Str(device["name"]);
    return names;
}

// "0x100 (256) Scaler", or without the name when the profile has none for it.
std::string DeviceText(const DeviceNames& names, uint32_t id) {
    const auto it = names.find(id);
    return HexDec(id) + (it == names.end() ? "" : " " + it->second);
}

void DescribeTargets(std::ostream& out, const Json& j, const DeviceNames& devices) {
    out << "Target versions:" << (j["version"].empty() ? "  (none)" : "") << '\n';
    for (const Json& target : j["version"])
        out << "  device " << Pad(DeviceText(devices, Number(target["device"])), 28) << "version "
            << HexDec(Number(target["version"])) << '\n';
}

void DescribeProfile(std::ostream& out, const Json& j, const DeviceNames& devices) {
    if (!j.contains("deviceProfile")) {
        out << "Device profile:   (none; the monitor's own is used)\n";
        return;
    }
    const Json& profile = j["deviceProfile"];
    out << "Device profile:\n";
    out << "  " << Pad("DEVICE", 14) << Pad("NAME", 20) << Pad("FILE", 8) << Pad("VERSIONS", 10)
        << Pad("ADDRESS", 10) << "FLAG\n";
    for (const Json& entry : profile["devices"])
        out << "  " << Pad(HexDec(Number(entry["device"])), 14) << Pad(Str(entry["name"]), 20)
            << Pad(Str(entry["fileName"]), 8)
            << Pad(Number(entry["versionRepresentation"]) == FWVersionRepresentationHexadecimal
                       ? "hex"
                       : "decimal",
                   10)
            << Pad(Hex(Number(entry["address"])), 10) << Number(entry["updateFlagIndex"]) << '\n';
    std::string shown;
    for (const Json& id : profile["displayDevices"])
        shown += (shown.empty() ? "" : ", ") + DeviceText(devices, Number(id));
    out << "  shown to users: " << (shown.empty() ? "(none)" : shown) << '\n';
}

// The width of the name column, at least that of its heading.
size_t BlobNameWidth(const Json& j) {
    size_t width = 4;
    for (const Json& blob : j["blobs"]) width = std::max(width, Str(blob["name"]).size());
    return width;
}

void DescribeBlobs(std::ostream& out, const Json& j, size_t nameWidth) {
    out << "Blobs (" << j["blobs"].size() << "):\n";
    if (!j["blobs"].empty())
        out << "  " << Pad("NAME", nameWidth + 2) << PadLeft("SIZE", 10) << "  SHA-256\n";
    for (const Json& blob : j["blobs"])
        out << "  " << Pad(Str(blob["name"]), nameWidth + 2)
            << PadLeft(std::to_string(Number(blob["byteSize"])), 10) << "  " << Str(blob["hash"])
            << '\n';
}

// Lists the actions and returns the text that names each (by identifier): what it does, blob
// name and where it goes.
std::map<std::string, std::string> DescribeActions(std::ostream& out, const Json& j,
                                                   size_t nameWidth) {
    std::map<std::string, std::string> blobNames;
    for (const Json& blob : j["blobs"]) blobNames[Str(blob["id"])] = Str(blob["name"]);
    std::map<std::string, std::string> actionText;
    out << "Actions (" << j["actions"].size() << "):\n";
    size_t index = 0;
    for (const Json& action : j["actions"]) {
        const std::string blobID = Str(action["blob"]);
        const auto blob = blobNames.find(blobID);
        std::string what = blob == blobNames.end() ? "blob " + blobID : blob->second;
        if (action.contains("fileName"))
            what += " -> " + Str(action["fileName"]);
        else if (action.contains("address"))
            what += " -> " + Hex(Number(action["address"]));
        actionText[Str(action["id"])] = what;
        std::string line = "  " + PadLeft(std::to_string(++index), 2) + "  " +
                           Pad(Str(action["type"]), 19) + Pad(what, nameWidth + 14);
        if (action.contains("updateFlagAddress"))
            line += "flag " + Hex(Number(action["updateFlagAddress"])) + "  ";
        out << line << Number(action["estimatedTime"]) << " s\n";
    }
    return actionText;
}

void DescribeBundles(std::ostream& out, const Json& j, const DeviceNames& devices,
                     const std::map<std::string, std::string>& actionText) {
    out << "Bundles (" << j["bundles"].size() << "):\n";
    size_t index = 0;
    for (const Json& bundle : j["bundles"]) {
        out << "  " << PadLeft(std::to_string(++index), 2) << "  estimated time "
            << (Number(bundle["estimatedTime"])
                    ? std::to_string(Number(bundle["estimatedTime"])) + " s"
                    : "from its actions")
            << '\n';
        std::string conditions;
        for (const Json& condition : bundle["conditions"])
            conditions += std::string(conditions.empty() ? "" : " and ") + "device " +
                          DeviceText(devices, Number(condition["device"])) + " " +
                          ComparisonSymbol(Str(condition["comparison"])) + " " +
                          HexDec(Number(condition["version"]));
        out << "      when:    " << (conditions.empty() ? "always" : conditions) << '\n';
        for (const Json& id : bundle["actions"]) {
            const auto it = actionText.find(Str(id));
            out << "      action:  "
                << (it == actionText.end() ? Str(id) + " (unknown)" : it->second) << '\n';
        }
    }
}

}  // namespace

PackageInfo::PackageInfo(const std::string& path) : m_path(path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw Failure(ExitPackage, "cannot open package " + path + ": " +
                                       (std::filesystem::exists(path, error) ? "not a regular file"
                                                                             : "no such file"));
    m_file.reset(FWKfwFileCreateWithUtf8Path(path.c_str()));
    if (!m_file)
        throw Failure(ExitPackage,
                      "cannot open package " + path + ": " + LastErrorText() + CanonicalHint(path));
    int version = FWKfwFileVersionUnknown;
    FWKfwFileGetFileVersion(m_file.get(), &version);
    m_legacy = version == FWKfwFileVersion1;
    Text text(FWUtf8StringCreateKfwFileJsonString(m_file.get()));
    if (!text)
        throw Failure(ExitInternal, "cannot describe package " + path + ": " + LastErrorText());
    m_json = Json::parse(FWUtf8StringGetCString(text.get()));
}

std::string PackageInfo::formatText() const {
    const Json& numbers = m_json["kfw"]["version"];
    std::string text =
        numbers.is_array() && numbers.size() == 2
            ? std::to_string(Number(numbers[0])) + "." + std::to_string(Number(numbers[1]))
            : "unknown";
    return m_legacy ? text + " (legacy)" : text;
}

std::vector<unsigned char> PackageInfo::blobBytes(const std::string& id) const {
    const FWUuid uuid = FWUuidCreateFromString(id.c_str());
    unsigned int size = 0;
    if (!FWKfwFileCopyBlobData(m_file.get(), uuid, nullptr, &size))
        throw Failure(ExitPackage,
                      "package " + m_path + ": cannot read blob " + id + ": " + LastErrorText());
    std::vector<unsigned char> bytes(size);
    if (size && !FWKfwFileCopyBlobData(m_file.get(), uuid, bytes.data(), &size))
        throw Failure(ExitPackage,
                      "package " + m_path + ": cannot read blob " + id + ": " + LastErrorText());
    bytes.resize(size);
    return bytes;
}

void PackageInfo::describe(std::ostream& out) const {
    const Json& j = m_json;
    const DeviceNames devices = ReadDeviceNames(j);
    out << "Package:          " << m_path << '\n';
    out << "Format:           " << formatText() << '\n';
    std::string products;
    for (const Json& product : j["products"])
        products += (products.empty() ? "" : ", ") + Str(product);
    out << "Products:         " << (products.empty() ? "(none)" : products) << '\n';
    out << "Time margin:      " << Number(j["estimatedTimeMargin"]) << " s\n";
    DescribeTargets(out, j, devices);
    DescribeProfile(out, j, devices);
    const size_t nameWidth = BlobNameWidth(j);
    DescribeBlobs(out, j, nameWidth);
    const std::map<std::string, std::string> actionText = DescribeActions(out, j, nameWidth);
    DescribeBundles(out, j, devices, actionText);
}

}  // namespace flashkit
