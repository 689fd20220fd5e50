#include "Tally.h"

#include "TLYActivity.h"
#include "TLYCustomEvent.h"
#include "TLYLogger.h"
#include "TLYPredefinedEvent.h"
#include "TLYTallyController.h"

#include "foundation/Log.h"
#include "sdk/Orrery.h"

Tally &Tally::sharedInstance()
{
    // Never released: the pipeline it holds may still be writing while the
    // process exits.
    static Tally *const instance = new Tally;
    return *instance;
}

void Tally::startWithBetaToken(const QString &betaToken)
{
    Tally &tally = sharedInstance();
    std::call_once(tally.m_startOnce, [&] {
        // A user who asks every program not to track them gets no usage
        // records at all: events stay dropped.
        if (Orrery::doNotTrack())
            return;
        Orrery &sdk = Orrery::sharedSDK();
        TLYLogger::sharedLogger().setDebugMode(sdk.debug());
        TLYLogger::sharedLogger().log(QStringLiteral("Initialized"));
        tally.setTallyController(TLYTallyController::initWithBetaToken(betaToken));
        TLYActivity::holdQuitForActivities();
    });
}

std::shared_ptr<TLYTallyControllerInterface> Tally::tallyController() const
{
    std::lock_guard lock(m_mutex);
    return m_tallyController;
}

void Tally::setTallyController(std::shared_ptr<TLYTallyControllerInterface> controller)
{
    std::lock_guard lock(m_mutex);
    m_tallyController = std::move(controller);
}

void Tally::stop()
{
    std::shared_ptr<TLYTallyControllerInterface> controller;
    {
        std::lock_guard lock(m_mutex);
        controller = std::exchange(m_tallyController, nullptr);
    }
    if (controller)
        controller->stop();
}

void Tally::record(std::shared_ptr<const TLYEvent> event)
{
    // The controller is called outside the lock; a copy of the pointer keeps
    // it alive even if it is replaced meanwhile.
    if (const auto controller = sharedInstance().tallyController())
        controller->logEvent(std::move(event));
}

void Tally::logSignUpWithMethod(const QString &method, const QVariant &success,
                                const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::signUpEventWithMethod(method, success, customAttributes));
}

void Tally::logLoginWithMethod(const QString &method, const QVariant &success,
                               const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::loginEventWithMethod(method, success, customAttributes));
}

void Tally::logShareWithMethod(const QString &method, const QString &contentName,
                               const QString &contentType, const QString &contentId,
                               const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::shareEventWithMethod(method, contentName, contentType, contentId,
                                                    customAttributes));
}

void Tally::logInviteWithMethod(const QString &method, const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::inviteEventWithMethod(method, customAttributes));
}

void Tally::logPurchaseWithPrice(const Price &price, const QString &currency,
                                 const QVariant &success, const QString &itemName,
                                 const QString &itemType, const QString &itemId,
                                 const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::purchaseEventWithPrice(price, currency, success, itemName, itemType,
                                                      itemId, customAttributes));
}

void Tally::logLevelStart(const QString &levelName, const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::levelStartEventWithLevelName(levelName, customAttributes));
}

void Tally::logLevelEnd(const QString &levelName, const QVariant &score, const QVariant &success,
                        const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::levelEndEventWithLevelName(levelName, score, success,
                                                          customAttributes));
}

void Tally::logAddToCartWithPrice(const Price &price, const QString &currency,
                                  const QString &itemName, const QString &itemType,
                                  const QString &itemId, const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::addToCartEventWithPrice(price, currency, itemName, itemType, itemId,
                                                       customAttributes));
}

void Tally::logStartCheckoutWithPrice(const Price &totalPrice, const QString &currency,
                                      const QVariant &itemCount,
                                      const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::startCheckoutEventWithPrice(totalPrice, currency, itemCount,
                                                           customAttributes));
}

void Tally::logRating(const QVariant &rating, const QString &contentName,
                      const QString &contentType, const QString &contentId,
                      const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::ratingEventWithRating(rating, contentName, contentType, contentId,
                                                     customAttributes));
}

void Tally::logContentViewWithName(const QString &contentName, const QString &contentType,
                                   const QString &contentId, const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::contentViewEventWithName(contentName, contentType, contentId,
                                                        customAttributes));
}

void Tally::logSearchWithQuery(const QString &query, const QVariantMap &customAttributes)
{
    record(TLYPredefinedEvent::searchEventWithQuery(query, customAttributes));
}

void Tally::logCustomEventWithName(const QString &name, const QVariantMap &customAttributes)
{
    // An empty name is a name (it is forwarded under Emberline's name for
    // unnamed events); only a missing one leaves the payload without a type.
    if (name.isNull()) {
        systemLog(QStringLiteral("[Tally] Custom events need a name. Ignoring event."));
        return;
    }
    record(std::make_shared<const TLYCustomEvent>(name, customAttributes));
}

void Tally::logPreviousSessionCrashedOnDate(const QDateTime &date)
{
    if (!date.isValid())
        return;
    if (const auto controller = sharedInstance().tallyController())
        controller->logCrashEvent(std::make_shared<const TLYCrashEvent>(date, 0));
}
