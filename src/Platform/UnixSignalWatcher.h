#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and the like into a Qt signal on the interface
// thread (the handler only writes to a self-pipe), so a program can shut
// down cleanly from its event loop.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

signals:
    void unixSignal(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};
