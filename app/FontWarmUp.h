// Loads the system's font configuration on a thread of its own while the program
// connects to the window system. Qt reads it (fontconfig's configuration files and
// caches of every installed font) the first time the window's design asks for a
// font, on the GUI thread, just before the first frame; started at the top of main,
// that work overlaps with the start-up instead. Qt then finds it done.
#pragma once

#include <thread>

class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp &) = delete;
    FontWarmUp &operator=(const FontWarmUp &) = delete;

    // Waits until the configuration is loaded; call it before the first font is used,
    // so that Qt never loads it at the same time.
    void wait();

private:
    std::thread m_thread;
};
