// One application object per toolkit test program, on the offscreen platform so that no
// display is needed.
#pragma once

#include <QApplication>
#include <cstdlib>

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
