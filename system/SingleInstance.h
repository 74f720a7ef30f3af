#pragma once

// One running program per settings file. The first start listens on a local socket named
// after the settings file; a later start hands its request (bring the window back, the
// files of its command line, whether to start the slide show) to the running one and ends.
// So a window hidden where the desktop has no notification area can always be brought back.
//
// The socket lives in a folder only the user can write ($XDG_RUNTIME_DIR, or a 0700 folder
// of the user's own under the temporary folder), both ends check that the other is the same
// user before anything is sent or taken, and a request has a size limit. A running program
// that does not answer (busy, stopped) is never replaced: only a socket nobody listens on is.

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QSocketNotifier;

struct TInstanceRequest {
    bool SlideShow = false; // start the slide show at the first of the files
    bool Show = false;      // show the first of the files
    QStringList Files;
};

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // Largest request taken, in bytes.
    static constexpr qint64 MaxRequestSize = 16 * 1024 * 1024;
    // Connections served at once (a new one ends the oldest beyond it), and how long one
    // may stay without delivering its whole request: a flood of idle connections can
    // neither use up the program's open files nor keep a real start out.
    static constexpr int MaxConnections = 32;
    static constexpr int IdleTimeoutMs = 2000;

    enum class SendResult {
        Delivered,    // the running program took the request
        NoServer,     // nobody listens: this start is the first
        NotAnswering, // a program of this user listens but did not confirm in time
        Unavailable,  // no private folder for the socket: run without the channel
    };

    // Listens for later starts (call SendToRunning first). A socket that is there is
    // replaced only when nobody listens on it. onRequest runs for every later start.
    TSingleInstance(const QString& key, std::function<void(const TInstanceRequest&)> onRequest,
                    QObject* parent = nullptr);
    ~TSingleInstance() override;

    bool IsListening() const { return m_listening; }

    // For a later start: hands the request to the running program.
    static SendResult SendToRunning(const QString& key, const TInstanceRequest& request, int answerTimeoutMs = 5000);

    // The socket's path for this key (in safefile::PrivateRuntimeFolder()), or empty when
    // there is no private folder for it.
    static QString SocketPath(const QString& key);

private:
    class TConnection;

    bool Bind();
    void Listen();
    void Accept();

    std::function<void(const TInstanceRequest&)> m_onRequest;
    QString m_path;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_listening = false;
    QList<TConnection*> m_connections; // oldest first
};

// The user id of the process at the other end of a connected Unix socket, or -1.
long PeerUserId(int socket);
