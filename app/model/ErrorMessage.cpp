// SPDX-License-Identifier: Apache-2.0
#include "model/ErrorMessage.h"

#include <QEvent>
#include <QMessageBox>
#include <QPushButton>

#include <mutex>
#include <utility>

#include "model/LocalizedStrings.h"

namespace {

constexpr double kNarrow = 20.0;
constexpr double kWide = 120.0;

struct Presenter {
    std::mutex mutex;
    std::function<int(const ErrorMessage&)> function;
};

Presenter& TestPresenter() {
    static Presenter presenter;
    return presenter;
}

ErrorMessage FileError(const char* key) {
    return ErrorMessage(LocalizedStrings::text("FileError"), LocalizedStrings::text(key),
                        ErrorMessage::Critical, kNarrow);
}

ErrorMessage CodeError(const char* code) {
    return ErrorMessage(LocalizedStrings::text("ErrorCodeTitle"),
                        LocalizedStrings::text("ErrorCode").arg(QLatin1String(code)),
                        ErrorMessage::Critical, kNarrow);
}

QMessageBox::Icon IconOf(int style) {
    switch (style) {
    case ErrorMessage::Warning: return QMessageBox::Warning;
    case ErrorMessage::Informational: return QMessageBox::Information;
    default: return QMessageBox::Critical;
    }
}

// QMessageBox fixes its own size whenever its layout is redone (on showing it and again on
// later layout requests); the extra width is added each time, on top of its own width.
class WideMessageBox : public QMessageBox {
public:
    explicit WideMessageBox(int extraWidth) : m_extraWidth(extraWidth) {}

protected:
    bool event(QEvent* event) override {
        const bool handled = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) widen();
        return handled;
    }

private:
    void widen() {
        // Unchanged since the last widening: Qt did not resize it, so it is wide already.
        if (width() == m_widened) return;
        setFixedSize(width() + m_extraWidth, height());
        m_widened = width();
    }

    int m_extraWidth;
    int m_widened = -1;
};

}  // namespace

ErrorMessage::ErrorMessage(QString title, QString message, int style, double wideWidth)
    : m_title(std::move(title)), m_message(std::move(message)), m_style(style),
      m_wideWidth(wideWidth) {}

ErrorMessage ErrorMessage::withDetail(QString detail) const {
    ErrorMessage copy = *this;
    copy.m_detail = std::move(detail);
    return copy;
}

ErrorMessage ErrorMessage::withTechnical(QString technical) const {
    ErrorMessage copy(*this);
    copy.m_technical = std::move(technical);
    return copy;
}

QString ErrorMessage::updateStateDetail(FWFirmwareUpdateType, FWUpdateOutcome outcome) {
    switch (outcome) {
    case FWUpdateOutcomeUntouched:
    case FWUpdateOutcomeOldFirmwareKept: return LocalizedStrings::text("UpdateStateUnchanged");
    case FWUpdateOutcomeMixed: return LocalizedStrings::text("UpdateStateMixed");
    case FWUpdateOutcomeNeedsRecovery: return LocalizedStrings::text("UpdateStateNeedsRecovery");
    default:
        // A complete transfer is marked for installation whatever the kind: record files as
        // transferred, ZV images by their flags. The monitor installs it at its next restart,
        // so it does not work "as before".
        return LocalizedStrings::text("UpdateStateMarked");
    }
}

QString ErrorMessage::notBackDetail() { return LocalizedStrings::text("UpdateStateNotBack"); }

QString ErrorMessage::versionsNotReachedDetail() {
    return LocalizedStrings::text("UpdateStateVersionsNotReached");
}

std::optional<ErrorMessage> ErrorMessage::communicationError() {
    return ErrorMessage(LocalizedStrings::text("CommunicationError"),
                        LocalizedStrings::text("CommunicationErrorMessage"), Critical, kWide);
}

std::optional<ErrorMessage> ErrorMessage::kfwFileExistsError(unsigned count) {
    if (count == 1) return std::nullopt;
    return FileError(count == 0 ? "KfwFileNotFoundErrorMessage"
                                : "KfwFileMultipleFoundErrorMessage");
}

std::optional<ErrorMessage> ErrorMessage::kfwFileExistsError(unsigned count,
                                                             const QString& folder) {
    const std::optional<ErrorMessage> plain = kfwFileExistsError(count);
    if (!plain) return std::nullopt;
    // Where a user can look, and put the one package.
    const QString message = plain->message() + QStringLiteral("\n\n") +
                            LocalizedStrings::text("SearchedFolder").arg(folder);
    return ErrorMessage(plain->title(), message, plain->style(), plain->wideWidth())
        .withDetail(plain->detail());
}

std::optional<ErrorMessage> ErrorMessage::kfwFileOpenError() {
    return FileError("FileOpenErrorMessage");
}

std::optional<ErrorMessage> ErrorMessage::kfwFileCheckError(int result) {
    switch (result) {
    case 0: return std::nullopt;
    case 1: return FileError("FileDiffrentModelErrorMessage");
    case 2: return FileError("UnsupportVersionErrorMessage");
    case 3:
        // Nothing failed: the monitor already runs this firmware, so the text stands alone.
        return ErrorMessage(QString(), LocalizedStrings::text("AlreadyUpdatedMessage"), Critical,
                            kNarrow);
    default: return communicationError();
    }
}

std::optional<ErrorMessage> ErrorMessage::monitorError(int32_t result) {
    if (result == kChecksumMismatch) return CodeError(kChecksumCode);
    return communicationError();
}

std::optional<ErrorMessage> ErrorMessage::updateVersionError() {
    return CodeError(kUpdateVersionCode);
}

int ErrorMessage::showModal() const {
    {
        Presenter& presenter = TestPresenter();
        std::function<int(const ErrorMessage&)> present;
        {
            const std::lock_guard<std::mutex> lock(presenter.mutex);
            present = presenter.function;
        }
        if (present) return present(*this);
    }
    WideMessageBox box{int(m_wideWidth)};
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(IconOf(m_style));
    box.setText(m_title);
    box.setInformativeText(m_detail.isEmpty() ? m_message
                                              : m_message + QStringLiteral("\n\n") + m_detail);
    if (!m_technical.isEmpty()) box.setDetailedText(m_technical);
    box.addButton(LocalizedStrings::text("OK"), QMessageBox::AcceptRole);
    // The extra width keeps long texts from wrapping into a narrow column.
    return box.exec();
}

void ErrorMessage::setPresenterForTesting(std::function<int(const ErrorMessage&)> presenter) {
    Presenter& test = TestPresenter();
    const std::lock_guard<std::mutex> lock(test.mutex);
    test.function = std::move(presenter);
}
