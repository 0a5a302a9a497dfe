// The JSON form of these classes is not built yet: the operations exist so that the
// virtual-table layout is final, and they refuse to run until the form is written.
#include <stdexcept>

#include "json/Value.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu {

namespace {

[[noreturn]] void jsonFormMissing() {
    throw std::logic_error("JSON form not available in this build");
}

}  // namespace

pocketjson::Value kfw::DeviceVersionList::toJson() const { jsonFormMissing(); }
void kfw::DeviceVersionList::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

pocketjson::Value dev::DeviceProfileList::toJson() const { jsonFormMissing(); }
void dev::DeviceProfileList::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

}  // namespace fwu
