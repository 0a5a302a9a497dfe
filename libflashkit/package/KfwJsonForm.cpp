// The JSON form of these classes is not built yet: the operations exist so that the
// virtual-table layout is final, and they refuse to run until the form is written.
#include <stdexcept>

#include "json/Value.h"
#include "package/KfwObject.h"
#include "package/Blob.h"
#include "package/Action.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"
#include "package/Bundle.h"
#include "package/KfwFile.h"

namespace fwu::kfw {

namespace {

[[noreturn]] void jsonFormMissing() {
    throw std::logic_error("JSON form not available in this build");
}

}  // namespace

pocketjson::Value KfwObject::toJson() const { jsonFormMissing(); }
void KfwObject::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

pocketjson::Value Blob::toJson() const { jsonFormMissing(); }
void Blob::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

pocketjson::Value Action::toJson() const { jsonFormMissing(); }
void Action::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

pocketjson::Value TransferDataAction::toJson() const { jsonFormMissing(); }
void TransferDataAction::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

pocketjson::Value TransferMStarDataAction::toJson() const { jsonFormMissing(); }
void TransferMStarDataAction::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

pocketjson::Value TransferZVDataAction::toJson() const { jsonFormMissing(); }
void TransferZVDataAction::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

pocketjson::Value Bundle::toJson() const { jsonFormMissing(); }
void Bundle::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

void KfwFile::updateMonitorProducts(const pocketjson::Value&) { jsonFormMissing(); }
void KfwFile::updateTargetVersion(const pocketjson::Value&) { jsonFormMissing(); }
void KfwFile::updateDeviceProfile(const pocketjson::Value&) { jsonFormMissing(); }
pocketjson::Value KfwFile::toJson() const { jsonFormMissing(); }
void KfwFile::fromJson(const pocketjson::Value&) { jsonFormMissing(); }

}  // namespace fwu::kfw
