#include "clips/ClipEngine.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// Beside the program in a build folder, in PREFIX/lib/.../lumivo/ when installed; the tests
// name it in LUMIVO_CLIP_ENGINE.
QStringList Candidates()
{
    const QString chosen = qEnvironmentVariable("LUMIVO_CLIP_ENGINE");
    if (!chosen.isEmpty())
        return {chosen};
    const QString programDir = QCoreApplication::applicationDirPath();
    return {programDir + QStringLiteral("/lumivo-clipengine.so"),
            programDir + QStringLiteral("/" LUMIVO_CLIP_ENGINE_RELATIVE_DIR "/lumivo-clipengine.so")};
}

TCreateClipEngineFunction LoadModule()
{
    // Loaded once and kept: its libraries stay for the clips after the first.
    static TCreateClipEngineFunction create = nullptr;
    static QString failure;
    if (create || !failure.isEmpty())
        return create;
    QString tried;
    for (const QString& path : Candidates()) {
        if (!QFileInfo(path).isFile())
            continue;
        void* module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            tried = QString::fromLocal8Bit(dlerror());
            continue;
        }
        create = reinterpret_cast<TCreateClipEngineFunction>(dlsym(module, LUMIVO_CLIP_ENGINE_ENTRY));
        if (create)
            return create;
        dlclose(module);
    }
    failure = tried.isEmpty() ? QStringLiteral("lumivo-clipengine.so is not installed") : tried;
    return nullptr;
}

} // namespace

std::unique_ptr<TClipEngine> CreateClipEngine(TClipEngineSetup setup)
{
    const TCreateClipEngineFunction create = LoadModule();
    if (!create)
        throw ELumivoError(QStringLiteral("The clip player could not be loaded."));
    QString error;
    std::unique_ptr<TClipEngine> engine(create(&setup, &error));
    if (!engine)
        throw ELumivoError(error.isEmpty() ? QStringLiteral("The clip player could not be started.") : error);
    return engine;
}
