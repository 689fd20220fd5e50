#pragma once

#include "TLYEmberlineAnalyticsBridge.h"
#include "TLYEventFilter.h"
#include "TLYMetadata.h"
#include "TLYSettings.h"
#include "TLYTallyControllerInterface.h"

#include "foundation/ClassRegistry.h"
#include "foundation/NotificationCenter.h"

#include <QMetaObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class OperationQueue;
class Orrery;
class TLYEventLogFiles;
class TLYMetadataSource;
class TLYNetworkRetryHandler;
class TLYPackageUploads;
class TLYTimer;

// The analytics pipeline. It records the install, launch and activity
// events, decides for each event whether it is recorded at all (the
// settings' switch, sampling), forwards it to Emberline when the settings
// ask for it, writes it as a line of the current log file, and rotates
// that file into a package when it has passed the size limit, when the
// event asks for it or when the periodic flush finds it full. Packages
// wait in the events folder until the SDK's settings arrive; those are
// applied once per execution, and then the packages, and every later one,
// go to the settings' events endpoint. Settings that switch analytics off
// delete every file and drop every later event.
//
// All its work runs on its serial event queue; the recording calls come
// from any thread and only queue work.
class TLYTallyController : public TLYTallyControllerInterface
{
public:
    // What the controller takes from the SDK core and the host.
    struct Configuration
    {
        // The analytics root folder: the events folder and the crash
        // metadata file.
        QString rootDirectory;
        std::shared_ptr<const TLYMetadata> metadata;
        QString APIKey;
        // This launch made the installation: "app_installed" is recorded.
        bool isFirstInstall = false;
        // The SDK's stored settings when asked; none before the first
        // download.
        std::function<std::optional<QVariantMap>()> orrerySettings;
        // Where the SDK announces new settings.
        NotificationCenter *notificationCenter = &NotificationCenter::defaultCenter();
        // Where the Emberline Analytics class is looked up.
        const ClassRegistry *classRegistry = &ClassRegistry::shared();
        // Retries and pinning of uploads; the kit's own when null.
        std::shared_ptr<TLYNetworkRetryHandler> networkRetryHandler;
    };

    static inline const QString EventQueueName = QStringLiteral("io.tally.EventQueue");
    static inline const QString FlushTimerIdentifier = QStringLiteral("io.tally.TimedEventsFlush");

    // The running SDK's identifiers, key and settings, with the analytics
    // root folder under the user's cache folder.
    static Configuration configurationWithOrrery(Orrery &orrery, const QString &betaToken);
    // A controller of the running SDK.
    static std::shared_ptr<TLYTallyController> initWithBetaToken(const QString &betaToken);

    // Starts at once: the set-up (events folder, crash metadata, clean-up
    // of earlier executions' files) is the queue's first work; the stored
    // settings, the install and launch events follow. Lifecycle events
    // come from the application object's state and quit signals.
    explicit TLYTallyController(Configuration configuration);
    // Waits for the queued work to run and cancels the uploads in flight.
    ~TLYTallyController() override;
    TLYTallyController(const TLYTallyController &) = delete;
    TLYTallyController &operator=(const TLYTallyController &) = delete;

    void logEvent(std::shared_ptr<const TLYEvent> event) override;
    void logCrashEvent(std::shared_ptr<const TLYCrashEvent> event) override;
    // Records nothing more, sends nothing more and waits until its queue
    // has run: what is on disk then stays as it is for the caller to
    // remove.
    void stop() override;

    // "NSApplicationDidBecomeActiveNotification" and its two siblings, as
    // the lifecycle signals of the application object are translated.
    void applicationLifecycleEvent(const Notification &notification);
    // Applies the SDK's settings once per execution (later ones are
    // ignored, as is a missing dictionary). Returns at once; the work runs
    // on the event queue.
    void initializeSettingsIfNeededWithOrrerySettings(
        const std::optional<QVariantMap> &settingsDictionary);
    // The SDK announced new settings: applies its current ones.
    void orrerySettingsDidBecomeAvailable();
    // Rotates the current log file when it has passed the size limit.
    // Event queue only.
    void flushTimerFired();

    const QString &rootDirectory() const { return m_configuration.rootDirectory; }
    OperationQueue &eventQueue() const { return *m_eventQueue; }
    // The settings in force; not valid until applied.
    TLYSettings settings() const;
    const std::shared_ptr<TLYPackageUploads> &uploads() const { return m_uploads; }
    // Blocks until everything queued so far, and all it queued, has run.
    void waitUntilIdle() const;

private:
    void setUp();
    void registerForApplicationLifecycleEvents();
    void unregisterObservers();
    void enqueueEvent(const std::shared_ptr<const TLYEvent> &event);
    void recordEvent(const std::shared_ptr<const TLYEvent> &event);
    void recordCrashEvent(const std::shared_ptr<const TLYCrashEvent> &event);
    bool shouldLogEvent() const;
    bool shouldDiscardEvent(const TLYEvent &event) const;
    void logEventToEmberline(const TLYEvent &event) const;
    void applySettings(const QVariantMap &settingsDictionary);
    void setupFlushTimer();
    void removeAllLogs() const;
    void writeEvent(const std::shared_ptr<const TLYEvent> &event,
                    const TLYMetadataSource &metadata) const;
    bool shouldSubmitLogAtURL(const QUrl &url) const;
    // Logs a queuing bug when the caller is not on the event queue.
    void checkOnEventQueue(const char *operation) const;

    const Configuration m_configuration;
    std::atomic<bool> m_stopped = false;
    std::vector<QMetaObject::Connection> m_lifecycleConnections;
    // Whether the application was active at its last state change; main
    // thread only.
    bool m_applicationActive = false;

    // Made by the set-up; used on the event queue only.
    std::unique_ptr<TLYEventLogFiles> m_files;
    std::shared_ptr<const TLYCrashMetadata> m_previousExecutionMetadata;
    TLYEventFilter m_eventFilter;
    std::unique_ptr<TLYEmberlineAnalyticsBridge> m_emberlineAnalyticsBridge;
    std::unique_ptr<TLYTimer> m_flushTimer;
    // Replaced on the event queue only; read from anywhere.
    mutable std::mutex m_settingsMutex;
    TLYSettings m_settings;
    // Uses the event queue, which it shares with the uploads' session.
    std::shared_ptr<TLYPackageUploads> m_uploads;
    // Last, so that it is gone, with all its work done, before the fields
    // that its work uses.
    std::shared_ptr<OperationQueue> m_eventQueue;
};
