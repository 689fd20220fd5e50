#pragma once

#include <QString>

#include <atomic>

// The analytics pipeline's debug lines. They reach the system log only in
// debug mode, which the kit sets once when it starts; validation messages
// that must always be seen use the system log directly.
class TLYLogger
{
public:
    static TLYLogger &sharedLogger();

    bool debugMode() const { return m_debugMode; }
    void setDebugMode(bool debugMode) { m_debugMode = debugMode; }

    // "[Tally] " and the message.
    void log(const QString &message) const;
    // "[Tally:label] " and the message.
    void logWithLabel(const QString &label, const QString &message) const;

private:
    TLYLogger() = default;
    void internalLog(const QString &line) const;

    std::atomic<bool> m_debugMode = false;
};
