#include "app/CommandLine.h"

#include "core/AppTitle.h"
#include "core/Errors.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistFile.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

std::optional<TCommandLine> ParseCommandLine(const QStringList& arguments, int& exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lumivo " LUMIVO_VERSION ", a multimedia viewer: pictures, GIF animations, "
                                                    "sound and video clips, playlists and slide shows."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the program's version."));
    const QCommandLineOption slideShow(QStringLiteral("slideshow"),
                                       QStringLiteral("Start the slide show once the main window is shown."));
    parser.addOption(help);
    parser.addOption(version);
    const QCommandLineOption show(QStringLiteral("show"),
                                  QStringLiteral("Show the first of the files in the display window as well (how "
                                                 "the desktop opens a file with Lumivo)."));
    parser.addOption(slideShow);
    parser.addOption(show);
    parser.addPositionalArgument(QStringLiteral("--"),
                                 QStringLiteral("Every argument after this one is a file name, even one that begins "
                                                "with a dash."),
                                 QStringLiteral("[--]"));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Media files to add to the playlist; a .txt file is a playlist "
                                                "whose lines are added."),
                                 QStringLiteral("[FILE...]"));
    // The parser runs before the application object exists and cannot name the program.
    const QString helpText = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("lumivo"));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "lumivo: %s\n%s", qPrintable(parser.errorText()), qPrintable(helpText));
        exitCode = 2;
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(helpText));
        exitCode = 0;
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        std::printf("lumivo %s\n", LUMIVO_VERSION);
        exitCode = 0;
        return std::nullopt;
    }
    TCommandLine result;
    result.SlideShow = parser.isSet(slideShow);
    result.Show = parser.isSet(show);
    for (const QString& file : parser.positionalArguments())
        if (!file.isEmpty()) // an empty argument names no file
            result.Files << file;
    return result;
}

namespace {

bool IsPlaylistFile(const QString& file)
{
    return QFileInfo(file).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
}

} // namespace

bool NamesPlaylistFile(const QStringList& files) { return std::any_of(files.begin(), files.end(), IsPlaylistFile); }

TFilesRead ReadCommandLineFiles(const QStringList& files)
{
    TFilesRead read;
    for (const QString& file : files) {
        if (file.isEmpty())
            continue;
        const QString path = QFileInfo(file).absoluteFilePath();
        if (!IsPlaylistFile(file)) {
            read.Parts.emplace_back(path);
            continue;
        }
        try {
            read.Parts.emplace_back(TPlayListBox::PrepareLineBytes(LoadPlaylistLines(path)));
        } catch (const ELumivoError& e) {
            read.Errors << e.Message; // reported once the other files are in
        }
    }
    return read;
}

void AppendFilesRead(TPlayListBox* playList, const TFilesRead& read)
{
    for (const auto& part : read.Parts) {
        if (const auto* path = std::get_if<QString>(&part))
            playList->AppendLines({*path});
        else
            playList->AppendPrepared(std::get<TPlayListBox::TPreparedLines>(part));
    }
    if (!read.Errors.isEmpty())
        throw ELumivoError(read.Errors.join(QLatin1Char('\n')));
}

void AppendCommandLineFiles(TPlayListBox* playList, const QStringList& files)
{
    AppendFilesRead(playList, ReadCommandLineFiles(files));
}
