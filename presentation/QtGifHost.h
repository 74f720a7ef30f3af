#pragma once

#include "gif/GifHost.h"

// The GIF library's link to the program: the hourglass as the application-wide cursor,
// notices in a plain message box, errors in the error dialog, pending window messages
// processed while decoding, and a load stopped when the program is ending or something newer
// is to be presented.
class TQtGifHost : public gif::IGifHost {
public:
    void SetBusyCursor(bool busy) override;
    void ShowNotice(const std::string& text) override;
    void ProcessMessages() override;
    bool StopRequested() override;
    void ShowError(const std::string& text) override;
};

// The one host of the program: it outlives every GIF control and file.
gif::IGifHost& ProgramGifHost();

// Stops the GIF load in progress (it ends with EGifCancelled); CancelGifLoad's effect lasts
// until ClearGifLoadCancel, which a load calls before it starts.
void CancelGifLoad();
bool GifLoadCancelled();
void ClearGifLoadCancel();
