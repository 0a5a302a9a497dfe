// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "model/ErrorMessage.h"

class KfwFile;
class TargetMonitor;

// Runs one update on a detached thread of its own: closes the maker's applications, transfers
// the package, starts the installation, waits for the monitor to come back, checks the new
// versions and relaunches what was running before. Sleep and shutdown are blocked meanwhile.
class UpdateThread {
public:
    UpdateThread();
    ~UpdateThread();
    UpdateThread(const UpdateThread&) = delete;
    UpdateThread& operator=(const UpdateThread&) = delete;

    void setTargetMonitor(std::shared_ptr<TargetMonitor> monitor);
    void setKfwFile(std::shared_ptr<KfwFile> file);
    // Starts a new detached run; the error of an earlier run is cleared.
    void start();

    bool isRunning() const;
    bool isFinished() const;
    std::optional<ErrorMessage> lastError() const;
    // The library's status behind lastError() (0 when the run succeeded).
    int32_t lastStatus() const;

    // Where the running run is, for the window to show; read from any thread.
    enum class Phase {
        Starting,
        ClosingApplications,
        Transferring,
        Restarting,
        Checking,
        Relaunching
    };
    struct Progress {
        Phase phase = Phase::Starting;
        uint32_t imagesDone = 0;  // transfer items finished
        uint32_t images = 0;      // transfer items of the update
        uint32_t bytesDone = 0;   // over all items
        uint32_t bytes = 0;
        int searches = 0;     // searches for the restarting monitor so far
        int maxSearches = 0;  // the restart budget
        // The size of each image in the order they go out, from the update's plan; empty
        // when the plan could not be had.
        std::vector<uint64_t> imageBytes;

        // The image going out now, 1-based, of how many, and how much of it has gone out.
        struct ImageStep {
            uint32_t index = 1;
            uint32_t count = 1;
            int percent = -1;  // -1: unknown without the plan's sizes
        };
        ImageStep currentImage() const;
    };
    Progress progress() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
