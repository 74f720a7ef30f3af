#pragma once

#include "gif/GifHost.h"

// The GIF library's link to the program: the hourglass as the application-wide cursor,
// notices in a plain message box, and pending window messages processed between rows.
class TQtGifHost : public gif::IGifHost {
public:
    void SetBusyCursor(bool busy) override;
    void ShowNotice(const std::string& text) override;
    void ProcessMessages() override;
};

// The one host of the program: it outlives every GIF control and file.
gif::IGifHost& ProgramGifHost();
