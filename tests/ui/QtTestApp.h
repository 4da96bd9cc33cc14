// One QApplication for the whole test executable, on the offscreen platform
// unless the environment chose another.
#pragma once

#include <QApplication>

#include <cstdlib>

inline QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = { name, nullptr };
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never destroyed: Qt's own globals go first at exit, and a static
    // QApplication destroyed after them crashes.
    static QApplication* pApp = new QApplication(argc, argv);
    return *pApp;
}
