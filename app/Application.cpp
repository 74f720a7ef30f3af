#include "app/Application.h"

#include "app/AboutBox1.h"
#include "app/Form2.h"
#include "app/Form3.h"
#include "app/MainForm.h"
#include "decor/NTCursor.h"
#include "platform/Errors.h"
#include "platform/HandlerGuard.h"
#include "playlist/PlayListBox.h"
#include "playlist/Form7.h"
#include "presentation/Form4.h"
#include "slideshow/Form6.h"

#include <QAction>
#include <QCoreApplication>

void CreateApplicationWindows(const QString& settingsFile)
{
    MainForm = new TMainForm(settingsFile);
    AboutBox1 = new TAboutBox1;
    Form2 = new TForm2;
    NTCursor = new TNTCursor;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form6 = new TForm6;
    Form7 = new TForm7;
    Form7->PlayList = MainForm->PlayList;
    Form4->SelectedLine = [] {
        const int selected = MainForm->PlayList->SelectedIndex();
        if (selected < 0)
            throw EListIndexError(selected);
        return MainForm->PlayList->item(selected)->text();
    };
    Form4->OpenDialogFileName = [] { return MainForm->OpenDialog.FileName; };
    Form4->StartSlideShow = [] { MainForm->N23->trigger(); };
    Form4->StopSlideShow = [] { MainForm->N26->trigger(); };
    Form4->ShowIntervalDialog = [] { MainForm->N11->trigger(); };
    QObject::connect(MainForm, &TMainForm::Closed, qApp, [] { QCoreApplication::exit(0); });
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
