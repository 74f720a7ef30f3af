#pragma once

#include "decor/Clock.h"
#include "playlist/MediaKind.h"
#include "widgets/FileDialog.h"

#include <QIcon>
#include <QList>
#include <QLocale>
#include <QMainWindow>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QSystemTrayIcon>

#include <functional>
#include <map>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QTimer;
class QToolBar;
class QToolButton;
class TPlayListBox;
class TSlideShow;

// The main window: menu bar, toolbar, the playlist, the control panel with the clock and
// the status line. It keeps its position, caption and maximized state in the settings file:
// read when it is created, written when the program ends.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int DesignWidth = 394;
    static constexpr int DesignHeight = 361;

    // settingsFile: the path of the settings file (see SettingsFilePath).
    explicit TMainForm(QString settingsFile, QWidget* parent = nullptr);

    const QString& SettingsFileName() const { return m_settingsFile; }

    // Writes the window settings; run once when the program ends. Throws
    // EIniFileException when the settings file cannot be written.
    void FormDestroy();

    // Playlist commands.
    void AddFileClick();
    void DeleteFileClick();
    void ClearPlayListClick(); // clear, after writing the backup
    void LoadPlayListClick();
    void SavePlayListClick();
    void PlaylistWizardClick();
    static const QString ClearedPlaylistBackup;

    // The slide show (wired at start-up) and its commands.
    void SetSlideShow(TSlideShow* show) { SlideShow = show; }

    // What the main window's commands ask of the rest of the program, wired by its owner.
    std::function<void(const QString& fileName, TMediaKind kind)> Present; // in the display window
    std::function<void(bool on)> SetDisplayFullScreen;
    std::function<void(bool on)> AnimatePointer;
    std::function<void()> ShowAbout;
    std::function<void()> ShowHelp;
    std::function<void()> ShowLinks;
    std::function<void()> ShowSlideInterval;
    std::function<void()> ShowPlaylistWizard;
    void StartSlideShowClick();
    void StopSlideShowClick();
    void SlideIntervalClick(); // the interval dialog

    // Files given to the program (its command line, or a second start): they join the
    // playlist; the slide show then starts at the first of them, or the first is shown.
    void TakeFiles(const QStringList& files, bool show, bool slideShow);

    // Presenting one item.
    void PlayListDblClick(); // the selected line
    void OpenClick();        // a file chosen in the media open dialog
    void FullScreenClick();  // full-screen mode of the display window

    // Clock and animated pointer.
    void ClockTimer();
    void ClockItemClick();   // the analog clock on or off
    void AnimateItemClick(); // animated pointer on or off
    static constexpr int DigitalClockLeft = 332;
    void SetClockLocale(const QLocale& locale) { ClockLocale = locale; } // whose time format the digital clock shows
    const QImage& ClockFaceLayer() const { return ClockFace; }

    // Small commands.
    void OpenCdTrayClick();  // open the CD drive's tray
    void CloseCdTrayClick(); // close it
    void AboutClick();
    void HelpClick();
    void LinksClick();

    // Tray icon.
    static QString TrayTip(const QString& text); // cut to 63 characters
    bool AddTrayIcon();
    bool RemoveTrayIcon();
    void HideWindowClick(); // hide into the tray; minimize where there is none
    std::function<bool()> TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    void WMTrayNotify(QSystemTrayIcon::ActivationReason reason);
    void TrayNotifyWhenIdle(QSystemTrayIcon::ActivationReason reason); // WMTrayNotify, once no presentation runs
    void ComeBackClick();
    void GoAwayClick();

    // The status-line text each control writes when the mouse moves over it.
    QString StatusTextFor(const QWidget* control) const { return m_statusTexts.value(control); }
    bool HasStatusText(const QWidget* control) const { return m_statusTexts.contains(control); }

    // The playlist, the full-screen choice and the file dialogs' settings.
    TPlayListBox* Playlist() const { return PlayList; }
    bool FullScreenChosen() const;
    void ChooseFullScreen(bool on);
    const TFileDialog& MediaOpenDialog() const { return OpenDialog; }
    const TFileDialog& PlaylistOpenDialog() const { return PlayListOpenDialog; }
    const TFileDialog& PlaylistSaveDialog() const { return PlayListSaveDialog; }
    int ToolBarPictureCount() const { return int(ToolBarIcons.size()); }

    // Commands that end the program.
    void ExitClick();          // closes the main window (with its fade-out)
    void ExitAtOnceClick();    // ends the event loop at once, no fade-out
    void ExitPopupItemClick(); // as ExitAtOnceClick



Q_SIGNALS:
    // The main window was closed: the program is to end.
    void Closed();

public:
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateControlPanel();
    void CreateStatusPanel();
    void CreateNonVisual();

    void SetUpClock();
    void SetUpStatusTexts();
    void ApplyTooltipStyle();
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormClose();
    void FadeOut();
    // Files taken in the order they were given, each once what it names has been read.
    void TakeFilesRead(const struct TFilesRead& read, bool show, bool slideShow);
    void TakeReadyFiles();
    quint64 m_takesAsked = 0, m_takesDone = 0;
    std::map<quint64, std::function<void()>> m_takesReady;

    QString m_settingsFile;
    QPoint m_settingsPos;     // position read from the settings file
    QPoint m_placedPos;       // where it was put: there, or on the nearest screen
    bool m_userMoved = false; // the window has been moved since it was placed
    bool m_snapping = false;
    void SnapToEdges(); // the edges of every move or resize, onto the work area's
    bool m_fading = false;         // fading out: hidden when the fade ends
    bool m_closeAfterFade = false; // closed: Closed() follows the fade
    QHash<const QWidget*, QString> m_statusTexts;

    // The window's controls, its own.
    TSlideShow* SlideShow = nullptr;
    TClockGeometry ClockGeometry;
    QLocale ClockLocale = QLocale::system(); // whose time format the digital clock shows
    QImage ClockFace;  // the face layer, painted once
    QImage ClockHands; // the hands layer, repainted every second
    QSystemTrayIcon* TrayIcon;
    // Menu bar.
    QMenuBar* MainMenu;
    QMenu* FileMenu;
    QAction* Open;
    QAction* AddFileItem;
    QAction* DeleteFileItem;
    QAction* ClearPlayListItem;
    QAction* LoadPlayListItem;
    QAction* SavePlayListItem;
    QAction* Exit;
    QMenu* ActionMenu;
    QAction* HideWindowItem;
    QAction* OpenCDItem;
    QAction* CloseCDItem;
    QMenu* SlideShowMenu;
    QAction* StartSlideShowItem;
    QAction* StopSlideShowItem;
    QAction* SlideIntervalItem;
    QMenu* ServiceMenu;
    QAction* PlaylistWizardItem;
    QAction* ClockItem;
    QAction* AnimateItem;
    QMenu* HelpMenu;
    QAction* Help;
    QAction* LinksItem;
    QAction* About;

    // Context menu of the window, and the tray icon's menu.
    QMenu* MainPopup;
    QAction* AboutPopupItem;
    QAction* ExitPopupItem;
    QMenu* TrayMenu;
    QAction* AboutMe;
    QAction* ComeBack;
    QAction* GoAway;

    // Toolbar, left to right.
    QToolBar* ToolBar;
    QToolButton* LoadPlayListButton;
    QToolButton* SavePlayListButton;
    QToolButton* AddFileButton;
    QToolButton* DeleteFileButton;
    QToolButton* StartSlideShowButton;
    QToolButton* StopSlideShowButton;
    QToolButton* SlideIntervalButton;
    QToolButton* HelpButton;
    QToolButton* AboutButton;
    QToolButton* ExitButton;
    QList<QIcon> ToolBarIcons;

    TPlayListBox* PlayList;

    QFrame* ControlPanel;
    QPushButton* OpenCdTrayButton;
    QPushButton* CloseCdTrayButton;
    QPushButton* PlaylistWizardButton;
    QCheckBox* FullScreenBox;
    QLabel* ClockFaceLabel;
    QLabel* ClockHandsLabel;
    QLabel* ClockOffLabel;
    QLabel* DigitalClock;

    QFrame* StatusPanel;
    QLabel* StatusLabel;

    QTimer* Clock;

    TFileDialog OpenDialog{TFileDialog::Mode::Open};
    TFileDialog PlayListOpenDialog{TFileDialog::Mode::Open};
    TFileDialog PlayListSaveDialog{TFileDialog::Mode::Save};
};

