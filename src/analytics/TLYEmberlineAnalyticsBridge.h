#pragma once

#include "foundation/ClassRegistry.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <utility>

class TLYCustomEvent;
class TLYEvent;
class TLYPredefinedEvent;

// The one class operation of the Emberline Analytics library that the
// bridge calls. The library, when a program has it, registers its class
// under the name "EMBAnalytics" with this operation.
class TLYStubsForEMBAnalytics : public ClassRegistry::Class
{
public:
    virtual void logInternalEventWithOrigin(const QString &origin, const QString &name,
                                            const QVariantMap &parameters) const = 0;
};

// Hands recorded custom and predefined events to Emberline Analytics in its
// own vocabulary: predefined types become its event names (with a
// "failed_" variant for unsuccessful sign-ups, logins and purchases),
// attribute keys its parameter keys, prices and success flags numbers, and
// every name is made to satisfy its naming rules. Without the library
// (the usual case) nothing happens. Used on the analytics event queue.
class TLYEmberlineAnalyticsBridge
{
public:
    static inline const QString EmberlineAnalyticsClassName = QStringLiteral("EMBAnalytics");
    static inline const QString Origin = QStringLiteral("orr");
    static inline const QString EscapePrefix = QStringLiteral("orrery_");
    static constexpr qsizetype MaximumNameLength = 40; // UTF-16 code units

    // Attribute key -> parameter key, in the order they are taken.
    using KeyMapping = QList<std::pair<QString, QString>>;

    // Forwards to the class registered as "EMBAnalytics", if any.
    explicit TLYEmberlineAnalyticsBridge(const ClassRegistry &registry = ClassRegistry::shared());
    // Forwards to emberlineAnalyticsClass when it has the logging operation.
    explicit TLYEmberlineAnalyticsBridge(
        const std::shared_ptr<const ClassRegistry::Class> &emberlineAnalyticsClass);

    const std::shared_ptr<const TLYStubsForEMBAnalytics> &emberlineAnalytics() const
    {
        return m_emberlineAnalytics;
    }

    // Custom and predefined events are forwarded; other kinds are not.
    void logEvent(const TLYEvent &event) const;
    void logCustomEvent(const TLYCustomEvent &event) const;
    void logPredefinedEvent(const TLYPredefinedEvent &event) const;
    // A finished level is announced twice: as "level_end" and "post_score".
    void logPredefinedEventToEmberlineWithEventName(const QString &name,
                                                    const QVariantMap &parameters) const;

    // The Emberline name of a predefined type; "failed_" before it for an
    // unsuccessful sign-up, login or purchase; empty for an unknown type.
    static QString emberlineEventNameForTallyEventName(const QString &tallyEventName,
                                                       const QVariantMap &predefinedAttributes);
    static bool shouldUseFailedEventName(const QString &emberlineEventName,
                                         const QVariantMap &predefinedAttributes);
    static QString failedEventName(const QString &emberlineEventName);
    static bool isFailableEvent(const QString &emberlineEventName);

    static QVariantMap
    emberlineEventParametersForPredefinedAttributes(const QVariantMap &predefinedAttributes,
                                                    const QVariantMap &customAttributes,
                                                    const QString &emberlineEventName);
    // The predefined parameters, with each custom one whose key they lack.
    static QVariantMap
    combinedParametersFromPredefinedParameters(const QVariantMap &predefinedParameters,
                                               const QVariantMap &customParameters);
    // Keys sanitized, values as they are.
    static QVariantMap customParametersFromCustomAttributes(const QVariantMap &customAttributes);
    static QVariantMap
    predefinedParametersFromPredefinedAttributes(const QVariantMap &predefinedAttributes,
                                                 const QString &emberlineEventName);
    // Prices back from micro-units, success flags as 1 or 0.
    static QVariantMap
    extractBaseParameterDictionaryFromPredefinedAttributes(const QVariantMap &predefinedAttributes,
                                                           const KeyMapping &keyMapping);
    static QVariantMap transformedBaseParameters(QVariantMap parameters,
                                                 const QString &emberlineEventName);

    // Runs of characters other than Unicode letters, digits and "_" become
    // one "_"; "orrery_" goes before a name that does not start with a
    // letter, starts with a reserved prefix or is a reserved name.
    static QString sanitizeKeyName(const QString &name);
    // sanitizeKeyName cut to 40 code units; orrery_unnamed_event for none.
    static QString sanitizeEventName(const QString &name);
    // sanitizeKeyName cut to 40 code units; orrery_unnamed_parameter for none.
    static QString sanitizeAttributeName(const QString &name);
    static const QSet<QString> &emberlineReservedKeys();

private:
    std::shared_ptr<const TLYStubsForEMBAnalytics> m_emberlineAnalytics;
};
