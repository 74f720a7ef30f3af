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
    // Called after every completed pixel row.
    virtual void ProcessMessages() = 0;
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
