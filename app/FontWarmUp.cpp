#include "FontWarmUp.h"

#include <dlfcn.h>

namespace {

// fontconfig is a dependency of Qt's own, loaded with it; its entry is looked up at
// run time so that the program needs no fontconfig headers. Without it, nothing is
// warmed and Qt loads the configuration as usual.
void loadFontConfiguration()
{
    using FcInitFunction = int (*)();
    if (auto init = reinterpret_cast<FcInitFunction>(dlsym(RTLD_DEFAULT, "FcInit")))
        init();
}

} // namespace

FontWarmUp::FontWarmUp()
{
    try {
        m_thread = std::thread(loadFontConfiguration);
    } catch (...) {
        // No thread to be had: Qt loads the configuration itself, later.
    }
}

FontWarmUp::~FontWarmUp()
{
    wait();
}

void FontWarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}
