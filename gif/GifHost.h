#pragma once

// What the GIF library needs from the program around it, kept behind one small interface
// so that the library never touches a window: the busy cursor while a file is read, the
// modal notices about animation intervals, and letting pending window messages run while
// a large image decodes. The program wires it to Qt; tests use a recorder.

#include <string>

namespace gif {

class IGifHost {
public:
    virtual ~IGifHost() = default;
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void ShowNotice(const std::string& text) = 0;
    // Called during decoding, every 10 ms or so of work, and once after the last row.
    virtual void ProcessMessages() = 0;
    // Asked after every row: true stops the load with EGifCancelled (the program is ending).
    virtual bool StopRequested() { return false; }
    // An error outside any caller, such as in the animation timer's tick.
    virtual void ShowError(const std::string& text) { ShowNotice(text); }
};

// Does nothing: for tools and tests that have no user interface.
class TNullGifHost : public IGifHost {
public:
    void SetBusyCursor(bool) override {}
    void ShowNotice(const std::string&) override {}
    void ProcessMessages() override {}
};

IGifHost& NullGifHost();

} // namespace gif
