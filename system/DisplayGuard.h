#pragma once

// While the application object is being made: a display that cannot be opened (none set,
// or one that refuses the connection) ends the program with one clear line on standard
// error and status 1, instead of the toolkit's abort with a page of advice. The toolkit's
// platform messages of that moment are held back, and passed on if the display opens.
class TDisplayGuard {
public:
    TDisplayGuard();
    ~TDisplayGuard();
    TDisplayGuard(const TDisplayGuard&) = delete;
    TDisplayGuard& operator=(const TDisplayGuard&) = delete;
};
