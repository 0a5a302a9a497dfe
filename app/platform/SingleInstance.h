// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

// One running updater per user: an exclusive lock on a file in the user's runtime folder,
// held while the object lives (or until release).
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False only when another process holds the lock: another copy runs. True when this
    // process holds it now, and also when no lock file can be made (nothing is then known of
    // other copies, and held() stays false).
    bool acquire();
    void release();
    bool held() const { return m_fd >= 0; }

    // $XDG_RUNTIME_DIR/PanelFlasher.lock, else /tmp/PanelFlasher-UID.lock.
    static QString lockPath();

private:
    int m_fd = -1;
};
