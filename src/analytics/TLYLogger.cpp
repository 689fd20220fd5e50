#include "TLYLogger.h"

#include "foundation/Log.h"

TLYLogger &TLYLogger::sharedLogger()
{
    // Never released: pipeline threads may log while the process exits.
    static TLYLogger *const instance = new TLYLogger;
    return *instance;
}

void TLYLogger::log(const QString &message) const
{
    internalLog(QStringLiteral("[Tally] ") + message);
}

void TLYLogger::logWithLabel(const QString &label, const QString &message) const
{
    internalLog(QStringLiteral("[Tally:%1] %2").arg(label, message));
}

void TLYLogger::internalLog(const QString &line) const
{
    if (m_debugMode)
        systemLog(line);
}
