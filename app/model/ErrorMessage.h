// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

#include <cstdint>

#include "flashkit/flashkit.h"
#include <functional>
#include <optional>

// One failure as the user sees it: a modal alert with a title, a text, a style and an extra
// width. Created by the factories (on any thread), shown on the main thread.
class ErrorMessage {
public:
    enum Style { Warning = 0, Informational = 1, Critical = 2 };

    // The error codes users can quote; the same in every language.
    static constexpr const char* kChecksumCode = "0001010100";
    static constexpr const char* kUpdateVersionCode = "0002020000";
    // The library's result for a checksum mismatch after a transferred image.
    static constexpr int32_t kChecksumMismatch = int32_t(0x80010005u);
    // The result the update thread reports when the monitor does not come back.
    static constexpr int32_t kMonitorNotBack = int32_t(0x80000000u);

    ErrorMessage() = default;
    ErrorMessage(QString title, QString message, int style, double wideWidth);

    const QString& title() const { return m_title; }
    const QString& message() const { return m_message; }
    int style() const { return m_style; }
    double wideWidth() const { return m_wideWidth; }
    // What the failed update left on the monitor and what the user does next; shown below the
    // message. Empty for failures that changed nothing worth telling.
    const QString& detail() const { return m_detail; }
    ErrorMessage withDetail(QString detail) const;
    // For support: the library's status and last error, shown behind the alert's details button.
    const QString& technical() const { return m_technical; }
    ErrorMessage withTechnical(QString technical) const;

    // The detail for an update of `kind` that stopped with `outcome`: whether the monitor works
    // as before, or what state it is in and what to do.
    static QString updateStateDetail(FWFirmwareUpdateType kind, FWUpdateOutcome outcome);
    // The detail when the monitor did not come back after its restart.
    static QString notBackDetail();
    // The detail when the monitor came back without the new versions.
    static QString versionsNotReachedDetail();

    static std::optional<ErrorMessage> communicationError();
    // Nothing for exactly one package.
    static std::optional<ErrorMessage> kfwFileExistsError(unsigned count);
    // The same, naming the folder that was searched.
    static std::optional<ErrorMessage> kfwFileExistsError(unsigned count, const QString& folder);
    static std::optional<ErrorMessage> kfwFileOpenError();
    // `result` of FWKfwFileCheckMonitor: nothing for 0; values other than 1 to 3 are
    // communication errors.
    static std::optional<ErrorMessage> kfwFileCheckError(int result);
    // A failed transfer or trigger: the checksum code for a checksum mismatch, else the
    // communication error.
    static std::optional<ErrorMessage> monitorError(int32_t result);
    static std::optional<ErrorMessage> updateVersionError();

    // Shows the alert application-modally (main thread only) and returns the pressed button.
    int showModal() const;

    // When set, showModal hands the message to `presenter` instead of showing an alert, so that
    // tests of the windows record alerts instead of blocking. An empty function restores alerts.
    static void setPresenterForTesting(std::function<int(const ErrorMessage&)> presenter);

private:
    QString m_title;
    QString m_message;
    int m_style = Critical;
    double m_wideWidth = 20.0;
    QString m_detail;
    QString m_technical;
};
