#pragma once

#include <QString>

// What a store operation reports: success, or the reason it failed in words for the user.
struct Outcome
{
    bool ok = true;
    QString error;

    static Outcome success() { return {}; }
    static Outcome failure(const QString& reason) { return {false, reason}; }
    explicit operator bool() const { return ok; }
};
