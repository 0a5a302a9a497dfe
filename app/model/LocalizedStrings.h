// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QLocale>
#include <QString>
#include <QStringList>

// Every visible text is looked up by key in one of the two embedded tables (English, German).
// The tables are Qt Linguist files with the context "Localizable" and the key as source text.
// Format texts take QString::arg placeholders: "WarningUpdateTime" %n (minutes, plural forms),
// "UpdateCompleteMessage" %1 and %2 (upper and lower version line), "ErrorCode" %1 (the code).
// Thread-safe: the workers build their error messages with it.
class LocalizedStrings {
public:
    // The text of `key` in the active table; empty when the table lacks the key.
    static QString text(const char* key);
    // A text with plural forms: %n is replaced by `count` in the form the language needs.
    static QString plural(const char* key, int count);
    // Chooses the table: German for a German locale, English for every other one. The system
    // locale's table is used until this is called.
    static bool load(const QLocale& locale);
    // Every key the application uses.
    static QStringList keys();
};
