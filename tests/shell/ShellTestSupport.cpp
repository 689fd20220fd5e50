#include "ShellTestSupport.h"

#include "analytics/TLYCustomEvent.h"
#include "analytics/Tally.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"
#include "viewer/Document.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

QString corpusDrawing(const QString &name)
{
    return QStringLiteral(QUILLMOOR_CORPUS_DIR "/files/") + name;
}

void Journal::append(const QString &entry)
{
    QMutexLocker lock(&m_mutex);
    m_entries.append(entry);
}

QStringList Journal::entries() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries;
}

void Journal::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

RecordingTallyController::RecordingTallyController(std::shared_ptr<Journal> journal)
    : m_journal(std::move(journal))
{}

void RecordingTallyController::logEvent(std::shared_ptr<const TLYEvent> event)
{
    if (const auto custom = std::dynamic_pointer_cast<const TLYCustomEvent>(event)) {
        EXPECT_TRUE(custom->customAttributes().isEmpty())
            << custom->customEventName().toStdString();
        m_journal->append(QStringLiteral("event: ") + custom->customEventName());
    } else {
        m_journal->append(QStringLiteral("other event: ") + event->name());
    }
}

RecordingUrlOpener::RecordingUrlOpener(std::shared_ptr<Journal> journal)
    : m_journal(std::move(journal))
{}

bool RecordingUrlOpener::openURL(const QUrl &url)
{
    urls.append(url);
    m_journal->append(QStringLiteral("open: ") + url.toString());
    return true;
}

ShellRecording::ShellRecording()
    : opener(std::make_shared<RecordingUrlOpener>(journal))
    , m_previousConfig(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    UserDefaults::resetStandardUserDefaults();
    Tally::sharedInstance().setTallyController(std::make_shared<RecordingTallyController>(journal));
    UrlOpener::setSharedOpener(opener);
}

ShellRecording::~ShellRecording()
{
    UrlOpener::setSharedOpener(nullptr);
    Tally::sharedInstance().setTallyController(nullptr);
    UserDefaults::resetStandardUserDefaults();
    qputenv("XDG_CONFIG_HOME", m_previousConfig);
}

TemporaryBundle::TemporaryBundle(const QVariantMap &info)
{
    EXPECT_TRUE(PropertyList::writeFile(QDir(path()).filePath(QStringLiteral("Info.plist")), info));
}

void TemporaryBundle::addResource(const QString &fileName, const QByteArray &contents)
{
    const QString target = QDir(path()).filePath(fileName);
    QDir().mkpath(QFileInfo(target).path());
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}
