#pragma once

#include <QString>

// What a store operation reports: success, or the reason it failed in words for the user.
struct Outcome
{
    bool ok = true;
    QString error;
    // Another program holds the file locked: the same operation can succeed when tried again.
    bool busy = false;

    static Outcome success() { return {}; }
    static Outcome failure(const QString& reason) { return {false, reason}; }
    static Outcome locked(const QString& reason) { return {false, reason, true}; }
    explicit operator bool() const { return ok; }
};
