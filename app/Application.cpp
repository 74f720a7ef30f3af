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

void CreateApplicationWindows(const QString& settingsFile)
{
    ClearQuitRequest();
    MainForm = new TMainForm(settingsFile);
    AboutBox1 = new TAboutBox1;
    Form2 = new TForm2;
    NTCursor = new TNTCursor;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form6 = new TForm6;
    Form7 = new TForm7;
    Form7->PlayList = MainForm->PlayList;
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
    Form6->SetSlideInterval = [show](int seconds) { show->SlideInterval = seconds; };
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
    Destroy(Form7);
    Destroy(Form6);
    Destroy(Form4);
    Destroy(Form3);
    Destroy(NTCursor);
    Destroy(Form2);
    Destroy(AboutBox1);
    Destroy(MainForm);
}
