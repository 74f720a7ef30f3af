#include "app/Application.h"

#include "app/AboutBox1.h"
#include "app/Form2.h"
#include "app/Form3.h"
#include "app/MainForm.h"
#include "decor/NTCursor.h"
#include "platform/HandlerGuard.h"
#include "platform/Quit.h"
#include "playlist/PlayListBox.h"
#include "playlist/Form7.h"
#include "presentation/Form4.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PresentationGate.h"
#include "slideshow/Form6.h"
#include "slideshow/SlideShow.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>

void CreateApplicationWindows(const QString& settingsFile)
{
    ClearQuitRequest();
    MainForm = new TMainForm(settingsFile);
    // The dialogs that start hidden are made when first opened, and kept from then on.
    AboutBox1.Provide([] { return new TAboutBox1; });
    Form2.Provide([] { return new TForm2; });
    NTCursor = new TNTCursor;
    Form3.Provide([] { return new TForm3; });
    Form4 = new TForm4;
    Form4->SelectedLine = [] { return MainForm->PlayList->SelectedFilePath(); };
    Form4->OpenDialogFileName = [] { return MainForm->OpenDialog.FileName; };
    Form4->StartSlideShow = [] { MainForm->N23->trigger(); };
    Form4->StopSlideShow = [] { MainForm->N26->trigger(); };
    Form4->ShowIntervalDialog = [] { MainForm->N11->trigger(); };

    // The slide show runs on the main window's slide timer and the display window's player.
    auto* show = new TSlideShow(MainForm->PlayList, MainForm->Timer1, Form4,
                                [] { return MainForm->Screen->isChecked(); }, MainForm);
    MainForm->SlideShow = show;
    QObject::connect(Form4->MediaPlayer1, &TMediaPlayer::Notify, show, [show](int status) {
        presentation::RunGuardedWhenIdle(show, [show, status] { show->Continue(status); });
    });
    Form6.Provide([show] {
        auto* dialog = new TForm6;
        dialog->SetSlideInterval = [show](int seconds) { show->SlideInterval = seconds; };
        return dialog;
    });
    // The wizard lists the folder the program started in, wherever the file dialogs have
    // moved the current folder by the time it is first opened.
    Form7.Provide([startFolder = QDir::currentPath()] {
        auto* wizard = new TForm7(startFolder);
        wizard->PlayList = MainForm->PlayList;
        return wizard;
    });
    QObject::connect(MainForm, &TMainForm::Closed, qApp, [] { RequestQuit(0); });
}

namespace {
template <class T>
void Destroy(T*& instance)
{
    delete instance;
    instance = nullptr;
}
} // namespace

void DestroyApplicationWindows()
{
    if (MainForm)
        Guarded([] { MainForm->FormDestroy(); });
    Form7.Destroy();
    Form6.Destroy();
    Destroy(Form4);
    Form3.Destroy();
    Destroy(NTCursor);
    Form2.Destroy();
    AboutBox1.Destroy();
    Destroy(MainForm);
}
