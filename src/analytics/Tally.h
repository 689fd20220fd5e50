#pragma once

#include "TLYDecimal.h"
#include "TLYTallyControllerInterface.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

// The analytics kit's public face. The recording operations may be called
// from any thread: each builds one event and hands it to the running
// controller. Until the kit has been started, events are dropped silently.
//
// A null text argument is an absent attribute; a number or boolean argument
// is absent when invalid; prices are exact decimals (TLYDecimal::fromString).
class Tally
{
public:
    using Price = std::optional<TLYDecimal>;

    static Tally &sharedInstance();

    // Starts the kit once per process (later calls do nothing): the logger
    // follows the SDK's debug flag, events go to the log files under the
    // user's cache folder, quitting waits for them to be written, and their
    // packages are uploaded once the SDK has settings. When the environment
    // asks not to be tracked (Orrery::doNotTrack) nothing is recorded. A
    // beta token of the form "2:token" marks the installation as a
    // tester's.
    static void startWithBetaToken(const QString &betaToken = QString());
    // Stops the running controller for the rest of the process: later
    // events are dropped, and once this returns the controller writes and
    // sends nothing more, so that its files can be deleted.
    void stop();

    std::shared_ptr<TLYTallyControllerInterface> tallyController() const;
    // Kit start-up installs the pipeline here; tests install a recording
    // controller and remove it again with nullptr.
    void setTallyController(std::shared_ptr<TLYTallyControllerInterface> controller);

    static void logSignUpWithMethod(const QString &method, const QVariant &success,
                                    const QVariantMap &customAttributes = {});
    static void logLoginWithMethod(const QString &method, const QVariant &success,
                                   const QVariantMap &customAttributes = {});
    static void logShareWithMethod(const QString &method, const QString &contentName,
                                   const QString &contentType, const QString &contentId,
                                   const QVariantMap &customAttributes = {});
    static void logInviteWithMethod(const QString &method,
                                    const QVariantMap &customAttributes = {});
    static void logPurchaseWithPrice(const Price &price, const QString &currency,
                                     const QVariant &success, const QString &itemName,
                                     const QString &itemType, const QString &itemId,
                                     const QVariantMap &customAttributes = {});
    static void logLevelStart(const QString &levelName, const QVariantMap &customAttributes = {});
    static void logLevelEnd(const QString &levelName, const QVariant &score,
                            const QVariant &success, const QVariantMap &customAttributes = {});
    static void logAddToCartWithPrice(const Price &price, const QString &currency,
                                      const QString &itemName, const QString &itemType,
                                      const QString &itemId,
                                      const QVariantMap &customAttributes = {});
    static void logStartCheckoutWithPrice(const Price &totalPrice, const QString &currency,
                                          const QVariant &itemCount,
                                          const QVariantMap &customAttributes = {});
    static void logRating(const QVariant &rating, const QString &contentName,
                          const QString &contentType, const QString &contentId,
                          const QVariantMap &customAttributes = {});
    static void logContentViewWithName(const QString &contentName, const QString &contentType,
                                       const QString &contentId,
                                       const QVariantMap &customAttributes = {});
    static void logSearchWithQuery(const QString &query, const QVariantMap &customAttributes = {});
    // A custom event without a name (a null string) has no payload; it is
    // dropped with a line in the system log. An empty name is recorded.
    static void logCustomEventWithName(const QString &name,
                                       const QVariantMap &customAttributes = {});
    // An invalid date does nothing.
    static void logPreviousSessionCrashedOnDate(const QDateTime &date);

private:
    Tally() = default;
    static void record(std::shared_ptr<const TLYEvent> event);

    mutable std::mutex m_mutex;
    std::shared_ptr<TLYTallyControllerInterface> m_tallyController;
    std::once_flag m_startOnce;
};
