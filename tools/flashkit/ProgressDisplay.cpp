// SPDX-License-Identifier: Apache-2.0
#include "ProgressDisplay.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "JsonOutput.h"

namespace flashkit {
namespace {

using Ms = std::chrono::milliseconds;

constexpr Ms kTerminalInterval{100};
constexpr Ms kLineInterval{1000};
constexpr Ms kJsonInterval{50};  // at most ~20 events a second
constexpr double kLineStepPercent = 10;
constexpr int kBarWidth = 30;
constexpr int kWaitLineSeconds = 10;

std::string Bytes(double bytes) {
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024);
    else
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024 * 1024));
    return text;
}

std::string Duration(double seconds) {
    const long s = long(std::ceil(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

bool Complete(const FWTransferProgress& p) {
    return p.totalBytes > 0 && p.transferredBytes >= p.totalBytes &&
           p.completedCount >= p.totalCount;
}

}  // namespace

ProgressDisplay::ProgressDisplay()
    : m_style(JsonMode()              ? Style::Json
              : isatty(STDOUT_FILENO) ? Style::Terminal
                                      : Style::Lines) {}

void ProgressDisplay::Phase(const char* phase, const std::string& text) {
    if (m_style == Style::Json) {
        EmitJson({{"event", "phase"}, {"phase", phase}});
        return;
    }
    if (!text.empty()) Note(text);
}

void ProgressDisplay::Note(const std::string& text) {
    if (m_style == Style::Json) return;
    if (m_lineOpen) {
        std::fputc('\n', stdout);
        m_lineOpen = false;
    }
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void ProgressDisplay::Warning(const std::string& text) {
    if (m_style == Style::Json) {
        EmitJson({{"event", "warning"}, {"message", text}});
        return;
    }
    if (m_lineOpen) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
        m_lineOpen = false;
    }
    std::fprintf(stderr, "flashkit: note: %s\n", text.c_str());
}

double ProgressDisplay::Percent(const FWTransferProgress& p) const {
    if (p.totalBytes == 0) return 0;
    const double percent = 100.0 * p.transferredBytes / p.totalBytes;
    return percent > 100 ? 100 : percent;
}

void ProgressDisplay::Progress(const FWTransferProgress& progress) {
    const Clock::time_point now = Clock::now();
    m_last = progress;
    m_lastShown = false;
    if (!m_started) {
        m_started = true;
        m_transferStart = now;
        ShowProgress(progress, now);
        return;
    }
    const double percent = Percent(progress);
    bool show = false;
    switch (m_style) {
    case Style::Json: show = now - m_lastShownAt >= kJsonInterval || Complete(progress); break;
    case Style::Terminal:
        show = now - m_lastShownAt >= kTerminalInterval || Complete(progress);
        break;
    case Style::Lines:
        show = now - m_lastShownAt >= kLineInterval ||
               percent - m_lastShownPercent >= kLineStepPercent ||
               (Complete(progress) && m_lastShownPercent < 100);
        break;
    }
    if (show) ShowProgress(progress, now);
}

void ProgressDisplay::ShowProgress(const FWTransferProgress& p, Clock::time_point now) {
    m_lastShown = true;
    m_lastShownAt = now;
    const double percent = Percent(p);
    m_lastShownPercent = percent;
    m_lastShownBytes = p.transferredBytes;
    if (m_style == Style::Json) {
        EmitJson({{"event", "progress"},
                  {"completedCount", p.completedCount},
                  {"totalCount", p.totalCount},
                  {"transferredBytes", p.transferredBytes},
                  {"totalBytes", p.totalBytes},
                  {"percent", std::floor(percent * 10) / 10}});
        return;
    }
    const double seconds = std::chrono::duration<double>(now - m_transferStart).count();
    const double rate = seconds > 0.2 ? p.transferredBytes / seconds : 0;
    const uint32_t image = p.completedCount < p.totalCount ? p.completedCount + 1 : p.totalCount;
    std::string left = "--:--";
    if (rate > 0 && p.totalBytes >= p.transferredBytes)
        left = Duration((p.totalBytes - p.transferredBytes) / rate);
    const std::string rateText = rate > 0 ? Bytes(rate) + "/s" : "-";
    char line[256];
    if (m_style == Style::Terminal) {
        const int filled = int(percent / 100 * kBarWidth);
        std::string bar(size_t(filled), '#');
        bar.append(size_t(kBarWidth - filled), '.');
        std::snprintf(line, sizeof line,
                      "\r[%s] %5.1f%%  %s / %s  %s  image %u of %u  %s left\x1b[K", bar.c_str(),
                      percent, Bytes(p.transferredBytes).c_str(), Bytes(p.totalBytes).c_str(),
                      rateText.c_str(), image, p.totalCount, left.c_str());
        std::fputs(line, stdout);
        m_lineOpen = true;
    } else {
        std::snprintf(
            line, sizeof line, "Transferred %.0f%%: %s of %s, %s, image %u of %u, %s left\n",
            std::floor(percent), Bytes(p.transferredBytes).c_str(), Bytes(p.totalBytes).c_str(),
            rateText.c_str(), image, p.totalCount, left.c_str());
        std::fputs(line, stdout);
    }
    std::fflush(stdout);
}

void ProgressDisplay::EndTransfer() {
    // JSON readers get the final counts; a person needs no second line for the same bytes.
    const bool newBytes = m_last.transferredBytes != m_lastShownBytes;
    if (m_started && !m_lastShown && (m_style == Style::Json || newBytes))
        ShowProgress(m_last, Clock::now());
    if (m_lineOpen) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
        m_lineOpen = false;
    }
}

void ProgressDisplay::Waiting(int elapsedSeconds) {
    if (m_style == Style::Json || elapsedSeconds == m_lastWaitShown) return;
    if (m_style == Style::Terminal) {
        std::printf("\rWaiting for the monitor to come back: %d s\x1b[K", elapsedSeconds);
        m_lineOpen = true;
    } else {
        if (elapsedSeconds % kWaitLineSeconds != 0 || elapsedSeconds == 0) return;
        std::printf("Still waiting for the monitor to come back (%d s)\n", elapsedSeconds);
    }
    m_lastWaitShown = elapsedSeconds;
    std::fflush(stdout);
}

void ProgressDisplay::EndWaiting() {
    if (m_lineOpen) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
        m_lineOpen = false;
    }
}

}  // namespace flashkit
