#include "ApplicationDriver.h"

#include "analytics/TLYTallyController.h"
#include "analytics/Tally.h"
#include "conversion/ConversionQueue.h"
#include "sdk/Orrery.h"
#include "shell/AppDelegate.h"
#include "support/NetworkThread.h"
#include "viewer/UrlOpener.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMainWindow>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

// Web and store pages are not opened from a test.
class NoPages : public UrlOpener
{
public:
    bool openURL(const QUrl &) override { return true; }
};

void reply(const QByteArray &line)
{
    std::printf("driver: %s\n", line.constData());
    std::fflush(stdout);
}

std::shared_ptr<TLYTallyController> runningController()
{
    return std::dynamic_pointer_cast<TLYTallyController>(Tally::sharedInstance().tallyController());
}

// Lines of standard input, read on the main thread as they arrive.
class InputLines
{
public:
    InputLines(std::function<void(const QByteArray &)> line, std::function<void()> ended)
        : m_line(std::move(line))
        , m_ended(std::move(ended))
        , m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier, [this] { read(); });
    }

private:
    void read()
    {
        char chunk[4096];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (count <= 0) {
            m_notifier.setEnabled(false);
            m_ended();
            return;
        }
        m_buffer.append(chunk, count);
        for (qsizetype end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n')) {
            const QByteArray text = m_buffer.left(end).trimmed();
            m_buffer.remove(0, end + 1);
            m_line(text);
        }
    }

    std::function<void(const QByteArray &)> m_line;
    std::function<void()> m_ended;
    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};

// The application as a user starts it, taking its clicks from standard
// input once it has launched. Commands run one after the other on the main
// thread, each once the one before has answered.
class DrivenApplication : public AppDelegate
{
public:
    void applicationDidFinishLaunching(const QStringList &drawings) override
    {
        AppDelegate::applicationDidFinishLaunching(drawings);
        reply("launched");
        m_input = std::make_unique<InputLines>(
            [this](const QByteArray &command) {
                m_commands.push_back(command);
                performNext();
            },
            // The end of the input quits, as the user does.
            [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); });
    }

private:
    void performNext()
    {
        if (m_busy || m_commands.empty())
            return;
        const QByteArray command = m_commands.front();
        m_commands.pop_front();
        m_busy = true;
        perform(command);
    }

    void answer(const QByteArray &line)
    {
        reply(line);
        m_busy = false;
        performNext();
    }

    void perform(const QByteArray &command)
    {
        const qsizetype space = command.indexOf(' ');
        const QByteArray verb = space < 0 ? command : command.left(space);
        const QString name = space < 0 ? QString() : QString::fromUtf8(command.mid(space + 1));
        if (verb == "trigger") {
            QAction *action = window()->findChild<QAction *>(name);
            if (!action)
                return answer("no action " + name.toUtf8());
            action->trigger();
            answer("done");
        } else if (verb == "click") {
            QAbstractButton *button = window()->findChild<QAbstractButton *>(name);
            if (!button)
                return answer("no button " + name.toUtf8());
            button->click();
            answer("done");
        } else if (verb == "idle") {
            if (const auto controller = runningController())
                controller->waitUntilIdle();
            answer("idle");
        } else if (verb == "settled") {
            waitForSettings(QDeadlineTimer(std::chrono::minutes(2)));
        } else if (verb == "session") {
            answer(runningController() ? Orrery::sharedSDK().executionIdentifier().toUtf8()
                                       : "none");
        } else {
            answer("unknown " + command);
        }
    }

    // The settings arrive through the network thread and are applied on
    // the kit's queue; the window thread keeps running meanwhile, as it
    // does for the user.
    void waitForSettings(QDeadlineTimer deadline)
    {
        const auto controller = runningController();
        if (!controller)
            return answer("unsettled");
        if (controller->settings().valid()) {
            controller->waitUntilIdle();
            return answer("settled");
        }
        if (deadline.hasExpired())
            return answer("unsettled");
        QTimer::singleShot(10, this, [this, deadline] { waitForSettings(deadline); });
    }

    std::unique_ptr<InputLines> m_input;
    std::deque<QByteArray> m_commands;
    bool m_busy = false;
};

} // namespace

void driveApplication(int argc, char **argv)
{
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    AppDelegate::prepareProcess();
    int status = 0;
    {
        QApplication application(argc, argv);
        QApplication::setDesktopFileName(QStringLiteral("quillmoor"));
        UrlOpener::setSharedOpener(std::make_shared<NoPages>());
        DrivenApplication quillmoor;
        status = quillmoor.run(QApplication::arguments());
        NetworkThread::shutdown();
    }
    exitAfterConversions(status);
}
