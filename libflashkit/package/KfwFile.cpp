// SPDX-License-Identifier: Apache-2.0
#include "package/KfwFile.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "core/CriticalSectionLocker.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"
#include "package/UuidIndex.h"

namespace fwu::kfw {

namespace {

template <typename T> T* FindItem(const std::vector<std::unique_ptr<T>>& items, const Uuid& id) {
    for (const auto& item : items)
        if (item->id() == id) return item.get();
    return nullptr;
}

// Content-equal objects collapse: the first held object equal to the argument wins and the
// argument is dropped.
template <typename T, typename U>
T* RegisterItem(std::vector<std::unique_ptr<T>>& items, std::unique_ptr<U> item) {
    if (!item) return nullptr;
    for (const auto& existing : items)
        if (existing->equal(item.get())) return existing.get();
    items.push_back(std::move(item));
    return items.back().get();
}

// Hashes of content that equal objects share (equal() decides; the hash only narrows down).
size_t Mix(size_t seed, uint64_t value) {
    return (seed ^ static_cast<size_t>(value)) * 0x100000001B3ull + 0x9E3779B97F4A7C15ull;
}

size_t MixId(size_t seed, const Uuid& id) {
    uint64_t halves[2];
    std::memcpy(halves, id.data(), sizeof halves);
    return Mix(Mix(seed, halves[0]), halves[1]);
}

size_t ContentKey(const Blob& blob) {
    // The size and the bytes at both ends: equal images agree on them without a full digest.
    size_t key = Mix(0, blob.size());
    const size_t edge = blob.size() < 32 ? blob.size() : 32;
    for (size_t i = 0; i < edge; ++i) key = Mix(key, blob.bytes()[i]);
    for (size_t i = blob.size() - edge; i < blob.size(); ++i) key = Mix(key, blob.bytes()[i]);
    return key;
}

size_t ContentKey(const Action& action) {
    size_t key = Mix(Mix(0, action.type()), action.estimatedTime());
    if (const auto* transfer = dynamic_cast<const TransferDataAction*>(&action))
        return MixId(key, transfer->blobID());
    if (const auto* mstar = dynamic_cast<const TransferMStarDataAction*>(&action))
        return MixId(key, mstar->blobID());
    if (const auto* zv = dynamic_cast<const TransferZVDataAction*>(&action))
        return MixId(key, zv->blobID());
    return key;
}

size_t ContentKey(const Bundle& bundle) {
    size_t key =
        Mix(Mix(Mix(0, bundle.estimatedTime()), bundle.items().size()), bundle.conditions().size());
    return bundle.items().empty() ? key : MixId(key, bundle.items().front());
}

// Held objects by content hash, with their positions.
template <typename T> using ByContent = std::unordered_multimap<size_t, std::pair<T*, size_t>>;

template <typename T>
void IndexContent(ByContent<T>& index, const std::vector<std::unique_ptr<T>>& items) {
    index.clear();
    for (size_t i = 0; i < items.size(); ++i)
        index.emplace(ContentKey(*items[i]), std::make_pair(items[i].get(), i));
}

// registerItem through the content index: the first held object (lowest position) equal to
// the argument wins, as in the scan.
template <typename T, typename U>
T* RegisterIndexed(std::vector<std::unique_ptr<T>>& items, ByContent<T>& index,
                   std::unique_ptr<U> item) {
    if (!item) return nullptr;
    const size_t key = ContentKey(*item);
    const auto range = index.equal_range(key);
    T* first = nullptr;
    size_t firstAt = items.size();
    for (auto it = range.first; it != range.second; ++it) {
        const auto& [held, at] = it->second;
        if (at < firstAt && held->equal(item.get())) {
            first = held;
            firstAt = at;
        }
    }
    if (first) return first;
    items.push_back(std::move(item));
    index.emplace(key, std::make_pair(items.back().get(), items.size() - 1));
    return items.back().get();
}

template <typename T> bool UnregisterItem(std::vector<std::unique_ptr<T>>& items, const Uuid& id) {
    for (auto it = items.begin(); it != items.end(); ++it) {
        if ((*it)->id() == id) {
            items.erase(it);
            return true;
        }
    }
    return false;
}

template <typename T>
bool SwapItems(std::vector<std::unique_ptr<T>>& items, const Uuid& first, const Uuid& second) {
    auto indexOf = [&items](const Uuid& id) {
        return std::find_if(items.begin(), items.end(),
                            [&id](const auto& item) { return item->id() == id; });
    };
    const auto a = indexOf(first), b = indexOf(second);
    if (a == items.end() || b == items.end() || a == b) return false;
    std::iter_swap(a, b);
    return true;
}

// Deletes every object the predicate rejects; true when none was.
template <typename T, typename Keep>
bool KeepOnly(std::vector<std::unique_ptr<T>>& items, Keep keep) {
    const size_t before = items.size();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&keep](const std::unique_ptr<T>& item) { return !keep(*item); }),
                items.end());
    return items.size() == before;
}

}  // namespace

KfwFile::KfwFile() = default;

KfwFile::~KfwFile() {
    // Bundles name actions and actions name blobs: release in that order.
    m_bundles.clear();
    m_actions.clear();
    m_blobs.clear();
}

const char* KfwFile::monitorProduct(size_t index) const {
    return index < m_products.size() ? m_products[index].c_str() : nullptr;
}

bool KfwFile::supportsMonitorProduct(const char* name) const {
    if (!name) return false;
    const size_t nameLength = std::strlen(name);
    for (const std::string& product : m_products) {
        const size_t star = product.find('*');
        if (star != std::string::npos) {
            // A "*" makes the part before it a prefix; whatever follows the "*" is ignored.
            if (nameLength >= star && product.compare(0, star, name, star) == 0) return true;
        } else if (product == name) {
            return true;
        }
    }
    return false;
}

Bundle* KfwFile::bundleForVersion(const DeviceVersionList* current) const {
    const DeviceVersionList none;
    for (const auto& bundle : m_bundles)
        if (bundle->match(current ? *current : none)) return bundle.get();
    return nullptr;
}

void KfwFile::updateEstimatedTimeMargin(uint32_t seconds) {
    CriticalSectionLocker lock(&m_mutex);
    m_estimatedTimeMargin = seconds;
}

struct KfwFile::RegistrationIndex {
    ByContent<Blob> blobs;
    ByContent<Action> actions;
    ByContent<Bundle> bundles;
};

void KfwFile::forgetRegistrationIndex() { m_registrationIndex.reset(); }

KfwFile::BulkRegistration::BulkRegistration(KfwFile& file) : m_file(file) {
    CriticalSectionLocker lock(&m_file.m_mutex);
    auto index = std::make_unique<RegistrationIndex>();
    IndexContent(index->blobs, m_file.m_blobs);
    IndexContent(index->actions, m_file.m_actions);
    IndexContent(index->bundles, m_file.m_bundles);
    m_file.m_registrationIndex = std::move(index);
}

KfwFile::BulkRegistration::~BulkRegistration() {
    CriticalSectionLocker lock(&m_file.m_mutex);
    m_file.m_registrationIndex.reset();
}

struct KfwFile::ValidationIndex {
    bool blobsIndexed = false;
    bool actionsIndexed = false;
    UuidIndex<Blob> blobs;
    UuidIndex<Action> actions;
};

// Puts the package's validation index in use for the scope's lifetime, also when a check
// throws. The tables stay allocated between validations: above a couple of thousand objects a
// fresh table would come as fresh pages, and faulting them in each time cost more than the
// lookups.
class KfwFile::ValidationScope {
public:
    explicit ValidationScope(KfwFile& file) : m_file(file) {
        if (!m_file.m_validationIndex)
            m_file.m_validationIndex = std::make_unique<ValidationIndex>();
    }
    ~ValidationScope() {
        m_file.m_validationIndex->blobsIndexed = false;
        m_file.m_validationIndex->actionsIndexed = false;
    }
    ValidationScope(const ValidationScope&) = delete;
    ValidationScope& operator=(const ValidationScope&) = delete;

    void indexBlobs() {
        m_file.m_validationIndex->blobs.build(m_file.m_blobs);
        m_file.m_validationIndex->blobsIndexed = true;
    }
    void indexActions() {
        m_file.m_validationIndex->actions.build(m_file.m_actions);
        m_file.m_validationIndex->actionsIndexed = true;
    }

private:
    KfwFile& m_file;
};

Action* KfwFile::findAction(const Uuid& id) const {
    if (m_validationIndex && m_validationIndex->actionsIndexed)
        return m_validationIndex->actions.find(id);
    return FindItem(m_actions, id);
}

Blob* KfwFile::findBlob(const Uuid& id) const {
    if (m_validationIndex && m_validationIndex->blobsIndexed)
        return m_validationIndex->blobs.find(id);
    return FindItem(m_blobs, id);
}

Bundle* KfwFile::findBundle(const Uuid& id) const { return FindItem(m_bundles, id); }

Action* KfwFile::registerAction(std::unique_ptr<Action> action) {
    CriticalSectionLocker lock(&m_mutex);
    if (m_registrationIndex)
        return RegisterIndexed(m_actions, m_registrationIndex->actions, std::move(action));
    return RegisterItem(m_actions, std::move(action));
}

Blob* KfwFile::registerBlob(std::unique_ptr<Blob> blob) {
    CriticalSectionLocker lock(&m_mutex);
    if (m_registrationIndex)
        return RegisterIndexed(m_blobs, m_registrationIndex->blobs, std::move(blob));
    return RegisterItem(m_blobs, std::move(blob));
}

Bundle* KfwFile::registerBundle(std::unique_ptr<Bundle> bundle) {
    CriticalSectionLocker lock(&m_mutex);
    if (m_registrationIndex)
        return RegisterIndexed(m_bundles, m_registrationIndex->bundles, std::move(bundle));
    return RegisterItem(m_bundles, std::move(bundle));
}

bool KfwFile::unregisterAction(const Uuid& id) {
    CriticalSectionLocker lock(&m_mutex);
    m_registrationIndex.reset();  // positions change
    return UnregisterItem(m_actions, id);
}

bool KfwFile::unregisterBlob(const Uuid& id) {
    CriticalSectionLocker lock(&m_mutex);
    m_registrationIndex.reset();  // positions change
    return UnregisterItem(m_blobs, id);
}

bool KfwFile::unregisterBundle(const Uuid& id) {
    CriticalSectionLocker lock(&m_mutex);
    m_registrationIndex.reset();  // positions change
    return UnregisterItem(m_bundles, id);
}

bool KfwFile::swapBlobOrder(const Uuid& first, const Uuid& second) {
    CriticalSectionLocker lock(&m_mutex);
    m_registrationIndex.reset();  // positions change
    return SwapItems(m_blobs, first, second);
}

bool KfwFile::swapActionOrder(const Uuid& first, const Uuid& second) {
    CriticalSectionLocker lock(&m_mutex);
    m_registrationIndex.reset();  // positions change
    return SwapItems(m_actions, first, second);
}

bool KfwFile::swapBundleOrder(const Uuid& first, const Uuid& second) {
    CriticalSectionLocker lock(&m_mutex);
    m_registrationIndex.reset();  // positions change
    return SwapItems(m_bundles, first, second);
}

bool KfwFile::hasExtendFeature(ExtendFeature feature) const {
    auto hasActionOfType = [this](Action::Type type) {
        return std::any_of(m_actions.begin(), m_actions.end(),
                           [type](const auto& action) { return action->type() == type; });
    };
    switch (feature) {
    case ExtendFeatureMStarTransfer: return hasActionOfType(Action::TypeTransferMStarData);
    case ExtendFeatureDeviceProfile: return !m_deviceProfile.empty();
    case ExtendFeatureZVTransfer: return hasActionOfType(Action::TypeTransferZVData);
    }
    return false;
}

bool KfwFile::validate(const dev::DeviceProfileList* profile) {
    CriticalSectionLocker lock(&m_mutex);
    m_registrationIndex.reset();  // objects go
    ValidationScope scope(*this);
    bool untouched = m_targetVersion.validate(profile);
    untouched &= KeepOnly(m_blobs, [this](const Blob& blob) { return blob.isValid(this); });
    // Each kind is indexed once what is left of it is final, before its references are checked.
    scope.indexBlobs();
    untouched &= KeepOnly(m_actions, [this](const Action& action) { return action.isValid(this); });
    scope.indexActions();
    for (const auto& bundle : m_bundles) untouched &= bundle->validate(profile);
    untouched &= KeepOnly(m_bundles, [this](const Bundle& bundle) { return bundle.isValid(this); });
    return untouched;
}

Bundle* KfwFile::operator[](size_t index) const {
    return index < m_bundles.size() ? m_bundles[index].get() : nullptr;
}

}  // namespace fwu::kfw
