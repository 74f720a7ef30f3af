#include "presentation/MetafileLoader.h"

#include "core/Errors.h"
#include "core/Helpers.h"
#include "core/Quit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

QString Metafile::HelperPath() { return ::HelperPath("LUMIVO_METAFILE_HELPER", QStringLiteral("lumivo-metafile")); }

QImage RenderMetafile(const QString& fileName, int maxSide)
{
    const QString helper = Metafile::HelperPath();
    if (helper.isEmpty())
        throw ELumivoError(QStringLiteral("Metafiles cannot be shown: the program lumivo-metafile is missing"));

    QProcess process;
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        // The helper dies with the program, however the program ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        const rlimit memory{Metafile::MemoryLimit, Metafile::MemoryLimit};
        ::setrlimit(RLIMIT_AS, &memory);
        const rlimit cpu{Metafile::TimeLimitMs / 1000 + 1, Metafile::TimeLimitMs / 1000 + 2};
        ::setrlimit(RLIMIT_CPU, &cpu);
        const rlimit core{0, 0};
        ::setrlimit(RLIMIT_CORE, &core);
    });
    process.start(helper, {fileName, QString::number(maxSide)});
    if (!process.waitForStarted(Metafile::TimeLimitMs)) {
        // The toolkit's reason is in the user's language: it goes to standard error, and the
        // message stays in one language.
        std::fprintf(stderr, "lumivo: %s: %s\n", qPrintable(helper), qPrintable(process.errorString()));
        throw ELumivoError(QStringLiteral("Metafiles cannot be shown: the program lumivo-metafile could not be started"));
    }

    // Read as it comes, up to the largest answer a picture of maxSide can give.
    const qint64 cap = 12 + qint64(maxSide) * maxSide * 4;
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < Metafile::TimeLimitMs && !QuitRequested()) {
        process.waitForReadyRead(50);
        out += process.readAllStandardOutput();
        if (out.size() > cap)
            break;
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        if (QuitRequested())
            throw ELumivoError(QStringLiteral("Loading the picture was stopped"));
        throw ELumivoError(out.size() > cap ? QStringLiteral("Metafile is not valid")
                                            : QStringLiteral("The metafile could not be drawn in time"));
    }
    out += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit)
        throw ELumivoError(QStringLiteral("Metafile is not valid"));
    if (process.exitCode() != 0) {
        const QString message = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section('\n', -1);
        throw ELumivoError(message.isEmpty() ? QStringLiteral("Metafile is not valid") : message);
    }
    if (out.size() < 12 || !out.startsWith("LMF1"))
        throw ELumivoError(QStringLiteral("Metafile is not valid"));
    const quint32 width = qFromLittleEndian<quint32>(out.constData() + 4);
    const quint32 height = qFromLittleEndian<quint32>(out.constData() + 8);
    if (width == 0 || height == 0 || width > quint32(maxSide) || height > quint32(maxSide) ||
        out.size() != 12 + qint64(width) * height * 4)
        throw ELumivoError(QStringLiteral("Metafile is not valid"));
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < int(height); ++y)
        std::memcpy(image.scanLine(y), out.constData() + 12 + qint64(y) * width * 4, size_t(width) * 4);
    return image;
}
