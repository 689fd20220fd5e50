#include "TLYTallyController.h"

#include "TLYActivity.h"
#include "TLYEventLogFiles.h"
#include "TLYFileUtils.h"
#include "TLYLifecycleEvent.h"
#include "TLYLogger.h"
#include "TLYPackageUploads.h"
#include "TLYPredefinedEvent.h"
#include "TLYRotateCrashMetadataOperation.h"
#include "TLYTimer.h"
#include "TLYWriteEventOperation.h"

#include "foundation/OperationQueue.h"
#include "sdk/ORRSettingsOnboardingManager.h"
#include "sdk/Orrery.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <limits>

TLYTallyController::Configuration
TLYTallyController::configurationWithOrrery(Orrery &orrery, const QString &betaToken)
{
    Configuration configuration;
    configuration.rootDirectory = TLYEventLogFiles::rootDirectory();
    configuration.metadata = TLYMetadata::initWithOrrery(orrery, betaToken);
    configuration.APIKey = orrery.APIKey();
    configuration.isFirstInstall = orrery.isFirstInstall();
    configuration.orrerySettings = [&orrery] { return orrery.settings(); };
    return configuration;
}

std::shared_ptr<TLYTallyController> TLYTallyController::initWithBetaToken(const QString &betaToken)
{
    Orrery &orrery = Orrery::sharedSDK();
    auto controller =
        std::make_shared<TLYTallyController>(configurationWithOrrery(orrery, betaToken));
    // There is no advertising identifier to give on this platform.
    orrery.setAdvertisingToken(TLYMetadata::identifierForAdvertising());
    return controller;
}

TLYTallyController::TLYTallyController(Configuration configuration)
    : m_configuration(std::move(configuration))
    , m_eventQueue(std::make_shared<OperationQueue>(EventQueueName, 1))
{
    m_uploads = TLYPackageUploads::create(
        QUrl::fromLocalFile(
            TLYEventLogFiles::eventDirectoryForRootDirectory(m_configuration.rootDirectory)),
        m_eventQueue, m_configuration.APIKey, m_configuration.networkRetryHandler);
    m_eventQueue->addOperationWithBlock([this] { setUp(); });

    registerForApplicationLifecycleEvents();
    m_configuration.notificationCenter->addObserver(
        ORRSettingsOnboardingManager::SettingsAvailableNotification, nullptr, this,
        [this](const Notification &) { orrerySettingsDidBecomeAvailable(); });

    // Settings stored by an earlier run apply before the first events, so
    // that their switch and sampling govern the launch events too.
    if (m_configuration.orrerySettings)
        initializeSettingsIfNeededWithOrrerySettings(m_configuration.orrerySettings());
    if (m_configuration.isFirstInstall)
        enqueueEvent(TLYLifecycleEvent::installEvent());
    enqueueEvent(TLYLifecycleEvent::appLaunchedEvent());
}

TLYTallyController::~TLYTallyController()
{
    unregisterObservers();
    m_eventQueue->addOperationWithBlock([this] { m_flushTimer.reset(); });
    waitUntilIdle();
    // A transfer that ends later has nobody to tell; its package stays for
    // the next start.
    m_uploads->uploader()->invalidate();
}

void TLYTallyController::stop()
{
    unregisterObservers();
    m_stopped = true;
    m_uploads->uploader()->invalidate();
    m_eventQueue->addOperationWithBlock([this] { m_flushTimer.reset(); });
    waitUntilIdle();
}

void TLYTallyController::waitUntilIdle() const
{
    m_eventQueue->waitUntilAllOperationsAreFinished();
}

TLYSettings TLYTallyController::settings() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_settings;
}

void TLYTallyController::setUp()
{
    if (m_stopped)
        return;
    const QString &root = m_configuration.rootDirectory;
    m_files = std::make_unique<TLYEventLogFiles>(
        TLYEventLogFiles::eventDirectoryForRootDirectory(root), *m_eventQueue);

    TLYRotateCrashMetadataOperation swap(
        QUrl::fromLocalFile(TLYEventLogFiles::crashMetadataPathForRootDirectory(root)),
        m_configuration.metadata);
    swap.start();
    m_previousExecutionMetadata = swap.crashMetadata();

    m_emberlineAnalyticsBridge =
        std::make_unique<TLYEmberlineAnalyticsBridge>(*m_configuration.classRegistry);
    m_files->setUploadOperationFactory(
        [uploads = m_uploads](const QUrl &package, const QString &boundary) {
            return uploads->uploadOperationForFileAtURL(package, boundary);
        });
    m_files->cleanupAndProcessExistingFiles([uploads = m_uploads](const QSet<QUrl> &packages) {
        uploads->uploader()->attemptToReconnectBackgroundSessionWithCompletionBlock(
            [uploads, packages] { uploads->uploadMultipartFiles(packages.values()); });
    });
}

void TLYTallyController::registerForApplicationLifecycleEvents()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return;
    const auto post = [this](const QString &name) {
        applicationLifecycleEvent(Notification{name, nullptr, {}});
    };
    m_lifecycleConnections.push_back(
        QObject::connect(application, &QCoreApplication::aboutToQuit,
                         [post] { post(TLYLifecycleEvent::WillTerminateNotification); }));
    auto *gui = qobject_cast<QGuiApplication *>(application);
    if (!gui)
        return; // no windows, so no activity changes
    m_applicationActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
    m_lifecycleConnections.push_back(QObject::connect(
        gui, &QGuiApplication::applicationStateChanged, [this, post](Qt::ApplicationState state) {
            const bool active = state == Qt::ApplicationActive;
            if (active == m_applicationActive)
                return; // hidden after inactive, say: still not active
            m_applicationActive = active;
            post(active ? TLYLifecycleEvent::DidBecomeActiveNotification
                        : TLYLifecycleEvent::WillResignActiveNotification);
        }));
}

void TLYTallyController::unregisterObservers()
{
    for (const QMetaObject::Connection &connection : m_lifecycleConnections)
        QObject::disconnect(connection);
    m_lifecycleConnections.clear();
    m_configuration.notificationCenter->removeObserver(this);
}

void TLYTallyController::applicationLifecycleEvent(const Notification &notification)
{
    enqueueEvent(TLYLifecycleEvent::eventWithNotification(notification));
}

void TLYTallyController::orrerySettingsDidBecomeAvailable()
{
    if (m_configuration.orrerySettings)
        initializeSettingsIfNeededWithOrrerySettings(m_configuration.orrerySettings());
}

void TLYTallyController::initializeSettingsIfNeededWithOrrerySettings(
    const std::optional<QVariantMap> &settingsDictionary)
{
    if (!settingsDictionary)
        return;
    m_eventQueue->addOperationWithBlock([this, dictionary = *settingsDictionary] {
        if (m_stopped || settings().valid())
            return;
        applySettings(dictionary);
    });
}

void TLYTallyController::applySettings(const QVariantMap &settingsDictionary)
{
    {
        std::lock_guard lock(m_settingsMutex);
        m_settings = TLYSettings(settingsDictionary);
    }
    const TLYLogger &logger = TLYLogger::sharedLogger();
    if (!m_settings.shouldCollectAnalytics()) {
        logger.log(QStringLiteral("Tally is disabled. Cleaning up."));
        removeAllLogs();
        return;
    }
    logger.log(
        QStringLiteral("Tally enabled with settings: %1")
            .arg(QString::fromUtf8(
                QJsonDocument(QJsonObject::fromVariantMap(
                                  settingsDictionary.value(QStringLiteral("analytics")).toMap()))
                    .toJson(QJsonDocument::Compact))));
    logger.log(
        QStringLiteral("Logging events to %1").arg(m_files->rootEventDirectory().toLocalFile()));
    setupFlushTimer();
    m_files->setMaximumPendingMultipartFiles(int(
        std::clamp<qint64>(m_settings.maxPendingSendFiles(), 0, std::numeric_limits<int>::max())));
    const std::shared_ptr<TLYUploader> &uploader = m_uploads->uploader();
    uploader->setDefaultUploadTimeout(m_settings.defaultUploadTimeout());
    uploader->setLowPowerUploadTimeout(m_settings.lowPowerUploadTimeout());
    m_uploads->setTallyURL(m_settings.tallyURL());
    m_uploads->uploadAllMultipartFiles();
}

void TLYTallyController::removeAllLogs() const
{
    for (const QUrl &file : TLYFileUtils::allFilesInDirectory(m_files->rootEventDirectory()))
        QFile::remove(file.toLocalFile());
    // It describes this device and installation for events only.
    QFile::remove(TLYEventLogFiles::crashMetadataPathForRootDirectory(rootDirectory()));
}

bool TLYTallyController::shouldLogEvent() const
{
    if (m_stopped || !m_files)
        return false;
    const TLYSettings current = settings();
    return !current.valid() || current.shouldCollectAnalytics();
}

bool TLYTallyController::shouldDiscardEvent(const TLYEvent &event) const
{
    const TLYMetadata &metadata = *m_configuration.metadata;
    if (!m_eventFilter.shouldDiscardEvent(&event, metadata.betaToken(), metadata.installationId(),
                                          settings().samplingRate()))
        return false;
    TLYLogger::sharedLogger().log(QStringLiteral("Application is enabled for sampling, skipping %1")
                                      .arg(event.description()));
    return true;
}

void TLYTallyController::logEvent(std::shared_ptr<const TLYEvent> event)
{
    if (!event)
        return;
    // A custom event validates its attributes, with their messages, each
    // time it is described: only describe it for a line that is written.
    if (const TLYLogger &logger = TLYLogger::sharedLogger(); logger.debugMode())
        logger.log(QStringLiteral("Logging Tally event: %1").arg(event->description()));
    enqueueEvent(event);
}

void TLYTallyController::enqueueEvent(const std::shared_ptr<const TLYEvent> &event)
{
    // Quitting waits until the event is on disk.
    const auto activity = TLYActivityOperation::operationByStartingActivityName(
        QStringLiteral("io.tally.RecordEvent"), TLYActivity::RecordEventOptions);
    const auto record = BlockOperation::create([this, event] { recordEvent(event); });
    activity->addDependency(record);
    m_eventQueue->addOperation(record);
    m_eventQueue->addOperation(activity);
}

void TLYTallyController::recordEvent(const std::shared_ptr<const TLYEvent> &event)
{
    if (!shouldLogEvent() || shouldDiscardEvent(*event))
        return;
    logEventToEmberline(*event);
    // Measured before this event's line: the event that finds the file full
    // still goes into it, and the file is rotated right after.
    const bool full = shouldSubmitLogAtURL(m_files->currentLogURL());
    writeEvent(event, *m_configuration.metadata);
    if (full || event->triggersFlush())
        m_files->rotateAndSubmitCurrentLog();
}

void TLYTallyController::logEventToEmberline(const TLYEvent &event) const
{
    const TLYSettings current = settings();
    if (!current.shouldForwardToEmberlineAnalytics())
        return;
    const auto *predefined = dynamic_cast<const TLYPredefinedEvent *>(&event);
    if (predefined && predefined->predefinedEventName() == QLatin1String("purchase") &&
        !current.shouldIncludePurchaseEventsInForwardedEmberlineEvents())
        return;
    m_emberlineAnalyticsBridge->logEvent(event);
}

void TLYTallyController::logCrashEvent(std::shared_ptr<const TLYCrashEvent> event)
{
    if (!event)
        return;
    const auto activity = TLYActivityOperation::operationByStartingActivityName(
        QStringLiteral("io.tally.RecordCrashEvent"), TLYActivity::RecordEventOptions);
    const auto record = BlockOperation::create([this, event] { recordCrashEvent(event); });
    activity->addDependency(record);
    m_eventQueue->addOperation(record);
    m_eventQueue->addOperation(activity);
}

void TLYTallyController::recordCrashEvent(const std::shared_ptr<const TLYCrashEvent> &event)
{
    TLYLogger::sharedLogger().log(QStringLiteral("Attempting to log %1").arg(event->name()));
    if (!shouldLogEvent() || shouldDiscardEvent(*event))
        return;
    // This execution's events so far leave first; the crash travels alone
    // in a file whose metadata line describes the crashed execution.
    if (QFileInfo(m_files->currentLogURL().toLocalFile()).isReadable())
        m_files->rotateAndSubmitCurrentLog();
    writeEvent(event, *m_previousExecutionMetadata);
    m_files->rotateAndSubmitCurrentLog();
}

void TLYTallyController::writeEvent(const std::shared_ptr<const TLYEvent> &event,
                                    const TLYMetadataSource &metadata) const
{
    // Written at once rather than queued behind the events recorded
    // meanwhile: the next event's size check must see this line, or a burst
    // of events would all land in one file far past the limit.
    TLYWriteEventOperation write(event, metadata, m_files->currentLogURL());
    write.start();
}

bool TLYTallyController::shouldSubmitLogAtURL(const QUrl &url) const
{
    return TLYFileUtils::fileSizeAtURL(url) > settings().maximumPayloadSize();
}

void TLYTallyController::checkOnEventQueue(const char *operation) const
{
    const OperationQueue *current = OperationQueue::currentQueue();
    if (current != m_eventQueue.get())
        TLYLogger::sharedLogger().log(
            QStringLiteral("queuing bug in %1: %2 != %3")
                .arg(QString::fromLatin1(operation), m_eventQueue->name(),
                     current ? current->name() : QStringLiteral("(null)")));
}

void TLYTallyController::setupFlushTimer()
{
    checkOnEventQueue("-[TLYTallyController setupFlushTimer]");
    const double interval = settings().flushInterval();
    if (interval <= 0) {
        m_flushTimer.reset();
        return;
    }
    // The controller outlives its timer: both the destructor and stop()
    // let the timer go on the queue and wait for the queue.
    m_flushTimer = std::make_unique<TLYTimer>(interval, *m_eventQueue, FlushTimerIdentifier,
                                              [this] { flushTimerFired(); });
}

void TLYTallyController::flushTimerFired()
{
    checkOnEventQueue("-[TLYTallyController flushTimerFired]");
    if (settings().flushInterval() <= 0) {
        m_flushTimer.reset();
        return;
    }
    if (!m_stopped && m_files && shouldSubmitLogAtURL(m_files->currentLogURL()))
        m_files->rotateAndSubmitCurrentLog();
}
