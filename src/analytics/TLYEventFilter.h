#pragma once

#include <QSet>
#include <QString>

class TLYEvent;

// Decides whether a lifecycle or crash event of this installation is
// recorded under a sampling factor. The decision depends only on the
// installation identifier, so an installation is either always in or always
// out for a given factor. Custom and predefined events are never sampled.
class TLYEventFilter
{
public:
    // A null beta token or installation identifier is an absent one.
    bool shouldDiscardEvent(const TLYEvent *event, const QString &betaToken,
                            const QString &installationID, qint64 factor) const;
    static bool samplingEnabledForEventType(const QString &eventName);
    bool shouldDiscardEventWithInstallationID(const QString &installationID, qint64 factor) const;

    // The common 31-multiplier string hash over UTF-16 code units, wrapping
    // at 32 bits; "abc" gives 96354.
    static qint32 javaHashCodeForString(const QString &text);

private:
    static const QSet<QString> &sampledEventNames();
};
