// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/CriticalSection.h"
#include "package/Action.h"
#include "package/Blob.h"
#include "package/Bundle.h"
#include "package/FWKfwFile.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu::kfw {

// A firmware package: it owns its blobs, actions and bundles, and keeps the package-wide facts
// (products, target versions, device profile, time margin). Editing operations hold the
// package's recursive lock; lookups and accessors do not.
class KfwFile : public FWKfwFile {
public:
    KfwFile();
    ~KfwFile() override;

    FileVersion version() const override { return m_fileVersion; }
    const char* monitorProduct(size_t index) const override;
    bool supportsMonitorProduct(const char* name) const override;
    // The first bundle, in stored order, whose conditions hold; a null list counts as empty.
    Bundle* bundleForVersion(const DeviceVersionList* current) const override;
    void updateEstimatedTimeMargin(uint32_t seconds) override;
    void updateMonitorProducts(const pocketjson::Value& json) override;
    void updateTargetVersion(const pocketjson::Value& json) override;
    void updateDeviceProfile(const pocketjson::Value& json) override;
    Action* findAction(const Uuid& id) const override;
    Blob* findBlob(const Uuid& id) const override;
    Bundle* findBundle(const Uuid& id) const override;
    Action* registerAction(std::unique_ptr<Action> action) override;
    Blob* registerBlob(std::unique_ptr<Blob> blob) override;
    Bundle* registerBundle(std::unique_ptr<Bundle> bundle) override;
    bool unregisterAction(const Uuid& id) override;
    bool unregisterBlob(const Uuid& id) override;
    bool unregisterBundle(const Uuid& id) override;
    bool swapBlobOrder(const Uuid& first, const Uuid& second) override;
    bool swapActionOrder(const Uuid& first, const Uuid& second) override;
    bool swapBundleOrder(const Uuid& first, const Uuid& second) override;
    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    bool hasExtendFeature(ExtendFeature feature) const override;

    // Removes what the package cannot use: target versions and bundle conditions on devices
    // the profile does not know (skipped for a null profile), then blobs, actions and bundles
    // that are invalid, in that order so that removals cascade. True when nothing was removed.
    bool validate(const dev::DeviceProfileList* profile);

    uint32_t estimatedTimeMargin() const { return m_estimatedTimeMargin; }
    const std::vector<std::string>& products() const { return m_products; }
    const DeviceVersionList& targetVersion() const { return m_targetVersion; }
    const dev::DeviceProfileList& deviceProfile() const { return m_deviceProfile; }
    const std::vector<std::unique_ptr<Action>>& actions() const { return m_actions; }
    const std::vector<std::unique_ptr<Bundle>>& bundles() const { return m_bundles; }
    const std::vector<std::unique_ptr<Blob>>& blobs() const { return m_blobs; }
    // Number of bundles, and the bundle at an index (null when out of range).
    size_t size() const { return m_bundles.size(); }
    Bundle* operator[](size_t index) const;

    // For the format readers, which register thousands of objects into a package nobody else
    // sees yet: while a scope lives, registering finds a content-equal object through a hash of
    // the content instead of comparing with every object held. Objects already registered must
    // not change while it lasts.
    class BulkRegistration {
    public:
        explicit BulkRegistration(KfwFile& file);
        ~BulkRegistration();
        BulkRegistration(const BulkRegistration&) = delete;
        BulkRegistration& operator=(const BulkRegistration&) = delete;

    private:
        KfwFile& m_file;
    };

    // For the format readers and the editing interface, which build a package field by field.
    void setFileVersion(const FileVersion& version) { m_fileVersion = version; }
    std::vector<std::string>& products() { return m_products; }
    DeviceVersionList& targetVersion() { return m_targetVersion; }
    dev::DeviceProfileList& deviceProfile() { return m_deviceProfile; }
    CriticalSection& mutex() const { return m_mutex; }

private:
    struct ValidationIndex;
    class ValidationScope;
    struct RegistrationIndex;
    // Before objects go or move: registering falls back to comparing with every object.
    void forgetRegistrationIndex();

    mutable CriticalSection m_mutex;
    // In use only while validate runs: the first blob and action of each ID, so that checking
    // every reference costs a hash lookup rather than a scan of the package. Kept allocated
    // between validations for reuse.
    std::unique_ptr<ValidationIndex> m_validationIndex;
    // Only while a BulkRegistration lives.
    std::unique_ptr<RegistrationIndex> m_registrationIndex;
    FileVersion m_fileVersion;
    uint32_t m_estimatedTimeMargin = 60;
    std::vector<std::string> m_products;
    DeviceVersionList m_targetVersion;
    dev::DeviceProfileList m_deviceProfile;
    std::vector<std::unique_ptr<Action>> m_actions;
    std::vector<std::unique_ptr<Bundle>> m_bundles;
    std::vector<std::unique_ptr<Blob>> m_blobs;
};

}  // namespace fwu::kfw
