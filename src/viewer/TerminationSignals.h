#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the signals by which the system or a terminal asks a program to end
// (SIGTERM, SIGINT, SIGHUP) into the application's orderly quit, so that it
// cleans up as it does when the user quits. While an instance lives those
// signals are caught; afterwards a second one ends the process at once.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested();

private:
    void readSignal();

    int m_readFd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
