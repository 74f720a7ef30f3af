#pragma once

// One running program per settings file. The first start listens on a local socket named
// after the settings file; a later start hands its request (bring the window back, plus
// the files of its command line) to the running one and ends. So a window hidden where the
// desktop has no notification area can always be brought back.

#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // Listens for later starts (call SendToRunning first: a socket that is there is taken
    // for one left behind). onRequest runs for every later start, with its files.
    TSingleInstance(const QString& key, std::function<void(const QStringList& files)> onRequest,
                    QObject* parent = nullptr);

    // True when the program listens for later starts.
    bool IsListening() const { return m_listening; }

    // For a later start: hands the files to the running program. True when it took them.
    static bool SendToRunning(const QString& key, const QStringList& files);

    static QString ServerName(const QString& key);

private:
    void ReadRequest();

    std::function<void(const QStringList&)> m_onRequest;
    QLocalServer* m_server = nullptr;
    bool m_listening = false;
};
