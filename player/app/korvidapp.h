// The player's application object: language, settings, version text,
// plugin registration, single instance and the main window's life.
#pragma once

#include "setup.h"
#include "videolibrary.h"

#include <QApplication>
#include <QString>

class CKorvidApp : public QApplication {
    Q_OBJECT
public:
    CKorvidApp(int& argc, char** argv);

    // Runs the program; returns the process exit code.
    int run();

    // The build's version with "," turned into ".".
    static QString versionText();
    // Installs the Japanese texts when the system language is Japanese.
    static bool installTranslations(QCoreApplication* app);
    // Names the settings store ("Korvid", INI format).
    static void nameSettings();
    // What the command line asks to open: several existing files (a file
    // manager's %F) joined by "|", otherwise the words joined by blanks (a
    // path with blanks given without quotes), quotes removed. absolute: made
    // whole against the current folder, folders ending in "/".
    static QString commandLinePath(const QStringList& arguments, bool absolute);
    // Dark palette for the standard dialogs and message boxes, matching the skin.
    static void applyLook(QApplication* app);

    CSetup& setup() { return setup_; }
    CVideoLibrary& library() { return library_; }

private:
    CSetup setup_;
    // The catalogue of the run, lent to the main window.
    CVideoLibrary library_;
};
