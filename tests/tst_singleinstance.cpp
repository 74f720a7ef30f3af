// The single-instance channel: where its socket lives, that requests arrive whole with
// their slide-show flag, that a socket of another user or a stale one is never talked to,
// that a running program that does not answer is never replaced, and that oversized
// requests are dropped.

#include "system/SafeFile.h"
#include "system/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <future>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A Unix socket bound at path (and listening when listen is true), without Qt.
int BindRaw(const QString& path, bool listen)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(qMin<qsizetype>(name.size(), sizeof address.sun_path - 1)));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || (listen && ::listen(fd, 4) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void socketLivesInAPrivateFolder();
    void requestArrivesWhole();
    void staleSocketIsReplaced();
    void busyProgramIsNeverReplaced();
    void anotherUsersSocketIsNeverTrusted();
    void oversizedRequestIsDropped();
    void floodOfIdleConnections();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QByteArray m_savedRuntime;
    QString m_key;
};

void TestSingleInstance::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QVERIFY(QDir(m_tmp->path()).mkdir("runtime"));
    QVERIFY(::chmod(QFile::encodeName(m_tmp->filePath("runtime")).constData(), 0700) == 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_tmp->filePath("runtime")));
    m_key = m_tmp->filePath("lumivo.INI");
}

void TestSingleInstance::cleanup() { qputenv("XDG_RUNTIME_DIR", m_savedRuntime); }

void TestSingleInstance::socketLivesInAPrivateFolder()
{
    QCOMPARE(safefile::PrivateRuntimeFolder(), m_tmp->filePath("runtime"));
    QVERIFY(TSingleInstance::SocketPath(m_key).startsWith(m_tmp->filePath("runtime") + "/lumivo-"));
    QVERIFY(TSingleInstance::SocketPath(m_key) != TSingleInstance::SocketPath(m_key + "2"));

    // A runtime folder that others may enter, or a link to one, is not used: the socket
    // goes to a 0700 folder of the user's own under the user's cache folder, which no one
    // else can take first (as one could a name in /tmp).
    QVERIFY(::chmod(QFile::encodeName(m_tmp->filePath("runtime")).constData(), 0777) == 0);
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_tmp->filePath("cache")));
    const QString fallback = safefile::PrivateRuntimeFolder();
    QCOMPARE(fallback, m_tmp->filePath("cache/lumivo-runtime"));
    struct stat st = {};
    QVERIFY(::lstat(QFile::encodeName(fallback).constData(), &st) == 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(st.st_mode & 0777, mode_t(0700));
    QCOMPARE(st.st_uid, ::geteuid());
    QVERIFY(QFile::link(m_tmp->filePath("runtime"), m_tmp->filePath("link")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_tmp->filePath("link")));
    QCOMPARE(safefile::PrivateRuntimeFolder(), fallback);
    qputenv("XDG_CACHE_HOME", savedCache);
}

void TestSingleInstance::requestArrivesWhole()
{
    QList<TInstanceRequest> received;
    TSingleInstance running(m_key, [&](const TInstanceRequest& r) { received << r; });
    QVERIFY(running.IsListening());

    TInstanceRequest request;
    request.SlideShow = true;
    request.Show = true;
    request.Files = QStringList{"/a b.jpg", "/кириллица.gif", QString(5000, 'x')};
    auto sent = std::async(std::launch::async, [&] { return TSingleInstance::SendToRunning(m_key, request); });
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 10000);
    QCOMPARE(sent.get(), TSingleInstance::SendResult::Delivered);
    QCOMPARE(received[0].SlideShow, true);
    QCOMPARE(received[0].Show, true);
    QCOMPARE(received[0].Files, request.Files);
}

// A flood of idle connections, more than a desktop session's 1024 open files, neither
// makes the program stop listening nor keeps a real start out.
void TestSingleInstance::floodOfIdleConnections()
{
    struct rlimit saved = {};
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
    struct rlimit limited = {std::min<rlim_t>(1024, saved.rlim_max), saved.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &limited) == 0);
    QList<TInstanceRequest> received;
    TSingleInstance running(m_key, [&](const TInstanceRequest& r) { received << r; });
    QVERIFY(running.IsListening());
    const QByteArray path = QFile::encodeName(TSingleInstance::SocketPath(m_key));
    const pid_t flooder = ::fork();
    if (flooder == 0) {
        struct rlimit many = {4096, 4096};
        ::setrlimit(RLIMIT_NOFILE, &many); // as far as allowed
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        // As fast as the program takes them (its queue is short), for at most 10 seconds.
        for (int connected = 0, tries = 0; connected < 1100 && tries < 10000; ++tries) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                ++connected;
                continue;
            }
            ::close(fd);
            ::usleep(1000);
        }
        ::pause();
        ::_exit(0);
    }
    struct Stop { // the flood, and this process's limit, end with the test whatever it finds
        pid_t flooder;
        struct rlimit saved;
        ~Stop()
        {
            ::kill(flooder, SIGKILL);
            ::waitpid(flooder, nullptr, 0);
            ::setrlimit(RLIMIT_NOFILE, &saved);
        }
    } stop{flooder, saved};
    QTest::qWait(5000); // the program serves the flood meanwhile
    TInstanceRequest request;
    request.Files = QStringList{"/after-the-flood.jpg"};
    auto sent = std::async(std::launch::async, [&] { return TSingleInstance::SendToRunning(m_key, request); });
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 15000);
    QCOMPARE(sent.get(), TSingleInstance::SendResult::Delivered);
    QCOMPARE(received[0].Files, request.Files);
    QVERIFY(QFile::exists(QFile::decodeName(path)));
}

// A program that crashed leaves its socket behind; nobody listens on it, so a later start
// is the first and takes the name over.
void TestSingleInstance::staleSocketIsReplaced()
{
    const QString path = TSingleInstance::SocketPath(m_key);
    const int fd = BindRaw(path, false);
    QVERIFY(fd >= 0);
    QCOMPARE(TSingleInstance::SendToRunning(m_key, {}), TSingleInstance::SendResult::NoServer);
    TSingleInstance instance(m_key, {});
    QVERIFY(instance.IsListening());
    ::close(fd);
}

// The running program is busy (here: its event loop does not run while the second start
// waits): the second start reports that it got no answer, and the running program keeps
// its socket, so no second program starts beside it.
void TestSingleInstance::busyProgramIsNeverReplaced()
{
    int requests = 0;
    TSingleInstance running(m_key, [&](const TInstanceRequest&) { ++requests; });
    QVERIFY(running.IsListening());
    QCOMPARE(TSingleInstance::SendToRunning(m_key, {}, 300), TSingleInstance::SendResult::NotAnswering);
    TSingleInstance second(m_key, {});
    QVERIFY(!second.IsListening());
    // Once it runs again it takes the request that waited for it, and still listens.
    QTRY_COMPARE_WITH_TIMEOUT(requests, 1, 5000);
    auto sent = std::async(std::launch::async, [&] { return TSingleInstance::SendToRunning(m_key, {}); });
    QTRY_COMPARE_WITH_TIMEOUT(requests, 2, 10000);
    QCOMPARE(sent.get(), TSingleInstance::SendResult::Delivered);
}

// A socket of that name whose server runs as another user is never sent anything, and the
// program starts normally.
void TestSingleInstance::anotherUsersSocketIsNeverTrusted()
{
    if (::geteuid() != 0)
        QSKIP("a server of another user needs root to start");
    const QString path = TSingleInstance::SocketPath(m_key);
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Bound as root, listening as "nobody": the listener's credentials are nobody's.
        const int fd = BindRaw(path, false);
        if (fd < 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 || ::listen(fd, 4) != 0)
            ::_exit(1);
        [[maybe_unused]] ssize_t w = ::write(ready[1], "r", 1);
        const int peer = ::accept(fd, nullptr, nullptr);
        char buffer[64];
        const ssize_t n = ::read(peer, buffer, sizeof buffer); // anything sent is a leak
        [[maybe_unused]] ssize_t a = ::write(peer, "ok", 2);
        ::_exit(n > 0 ? 3 : 0);
    }
    char byte = 0;
    QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
    TInstanceRequest request;
    request.Files = QStringList{"/secret/file.jpg"};
    QCOMPARE(TSingleInstance::SendToRunning(m_key, request), TSingleInstance::SendResult::NoServer);
    ::kill(child, SIGTERM);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(!WIFEXITED(status) || WEXITSTATUS(status) != 3, "the request was sent to another user");
    ::close(ready[0]);
    ::close(ready[1]);
}

// A request that announces more than the limit is cut off, not buffered.
void TestSingleInstance::oversizedRequestIsDropped()
{
    int requests = 0;
    TSingleInstance running(m_key, [&](const TInstanceRequest&) { ++requests; });
    QLocalSocket client;
    client.connectToServer(TSingleInstance::SocketPath(m_key));
    QVERIFY(client.waitForConnected(2000));
    client.write(QByteArray("\xff\xff\xff\xff", 4) + QByteArray(1000, 'x'));
    client.flush();
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 5000);
    QCOMPARE(requests, 0);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
