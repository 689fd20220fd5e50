#pragma once

#include "ViewerTestSupport.h"
#include "analytics/TLYTallyControllerInterface.h"
#include "shell/AlertRunner.h"
#include "viewer/UrlOpener.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class Document;
class QWidget;

QString corpusDrawing(const QString &name);

// What the shell did, in order: "event: NAME" for each recorded custom
// event, "open: ADDRESS" for each address handed to the opener.
class Journal
{
public:
    void append(const QString &entry);
    QStringList entries() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QStringList m_entries;
};

class RecordingTallyController : public TLYTallyControllerInterface
{
public:
    explicit RecordingTallyController(std::shared_ptr<Journal> journal);
    void logEvent(std::shared_ptr<const TLYEvent> event) override;
    void logCrashEvent(std::shared_ptr<const TLYCrashEvent>) override {}

private:
    std::shared_ptr<Journal> m_journal;
};

class RecordingUrlOpener : public UrlOpener
{
public:
    explicit RecordingUrlOpener(std::shared_ptr<Journal> journal);
    bool openURL(const QUrl &url) override;
    QList<QUrl> urls;

private:
    std::shared_ptr<Journal> m_journal;
};

class RecordingAlertRunner : public AlertRunner
{
public:
    void runModal(const QString &messageText, const QString &informativeText) override
    {
        alerts.append({messageText, informativeText});
    }
    QList<QPair<QString, QString>> alerts;
};

// Installs a recording analytics controller and address opener for the
// life of a test, and keeps the settings in a fresh temporary folder.
class ShellRecording
{
public:
    ShellRecording();
    ~ShellRecording();

    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    std::shared_ptr<RecordingUrlOpener> opener;

private:
    QTemporaryDir m_config;
    QByteArray m_previousConfig;
};

// A bundle folder made for a test: an Info.plist with the given values and
// optional resource files.
class TemporaryBundle
{
public:
    explicit TemporaryBundle(const QVariantMap &info);
    void addResource(const QString &fileName, const QByteArray &contents);
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
