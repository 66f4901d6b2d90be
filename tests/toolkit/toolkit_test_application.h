// One application object per toolkit test program, on the offscreen platform so that no
// display is needed.
#pragma once

#include <QApplication>
#include <cstdlib>

// The system's font configuration library keeps caches it never frees; they are not ours.
// (Each test program includes this header from its one source file.)
extern "C" [[gnu::used]] const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

inline QApplication &TestApplication()
{
    static int argc = 1;
    static char name[] = "toolkit_test";
    static char *argv[] = {name, nullptr};
    // Never destroyed: widgets held by static objects must not outlive it.
    static QApplication *application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}
