#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The user's say over usage statistics. They are recorded and sent only
// while the user's choice allows it (the application default
// "sendUsageStatistics"; off until the user turns it on) and the
// environment does not ask programs not to track (DO_NOT_TRACK, see
// Orrery::doNotTrack). Otherwise the analytics kit records nothing, the SDK
// sends nothing, and what they kept from earlier runs is deleted: the
// kit's events and crash metadata, the downloaded settings and the
// installation identifier.
//
// The SDK starts at most once per process: turned on again after it was
// turned off in the same run, reporting resumes with the next launch.
// Used on the main thread.
class TLYUsageReporting
{
public:
    static inline const QString SendUsageStatisticsKey = QStringLiteral("sendUsageStatistics");

    struct Kit
    {
        // Starts the SDK core with the analytics kit.
        std::function<void()> start;
        // Stops both for the rest of the process; once it returns they
        // write and send nothing more.
        std::function<void()> stop = &TLYUsageReporting::stopSDKAndKit;
    };

    explicit TLYUsageReporting(Kit kit);

    // The stored choice, or the registered default while the user has
    // made none.
    static bool userChoice();
    // Whether DO_NOT_TRACK keeps reporting off whatever the choice.
    static bool overriddenByEnvironment();
    static bool isAllowed() { return userChoice() && !overriddenByEnvironment(); }

    // The last step of launch: starts the kit when reporting is allowed,
    // otherwise deletes what earlier runs kept.
    void launch();
    // Stores the user's choice and applies it at once: on starts the kit
    // (unless it ran earlier in this process), off stops it and deletes
    // everything it kept.
    void setUserChoice(bool send);
    // Whether the kit was started in this process and still runs.
    bool isRunning() const { return m_started && !m_stopped; }

    // The folders of the kit and the SDK: under the cache folder the kit's
    // own and the settings', under the data folder the SDK's store.
    static QStringList recordedDataPaths();
    // Deletes them, leaving no empty folder of theirs behind.
    static void removeRecordedData();
    // The running kit and the settings flow of the shared SDK.
    static void stopSDKAndKit();

private:
    void start();

    Kit m_kit;
    bool m_started = false;
    bool m_stopped = false;
};
