// The main window with a freshly written demo recorder folder opened in it:
// frame-number pictures, so tests can read which picture is shown, unless
// KORVID_PANEL_SHOTS asks for pictures of the window (then the demo's own
// realistic look, which takes minutes to write, so a folder written before by
// scripts/demo and named by KORVID_DEMO_DIR is copied instead).
#pragma once

#include "generator.h"
#include "korvidappdlg.h"
#include "playertest.h"
#include "testrecordings.h"
#include "videolibrary.h"

#include <filesystem>
#include <string>

namespace playertest {

struct DemoWindow {
    DemoWindow()
        : realistic(!qEnvironmentVariableIsEmpty("KORVID_PANEL_SHOTS")),
          written(copyMadeDemo() ||
                  qmr3::generateDemoFolder(dir.path(), error,
                                           realistic ? qmr3::DemoLook::Realistic : qmr3::DemoLook::Pattern)),
          w(library, binDir(), QStringLiteral("1.0"), nullptr) {
        w.show();
        if (written) w.openRecordings(QString::fromStdString(dir.path()));
    }
    bool copyMadeDemo() const {
        const std::filesystem::path made = qEnvironmentVariable("KORVID_DEMO_DIR").toStdString();
        std::error_code ec;
        if (!realistic || made.empty() || !std::filesystem::exists(made / ".complete", ec)) return false;
        for (const auto& entry : std::filesystem::directory_iterator(made, ec))
            if (entry.path().extension() == ".qmr3")
                std::filesystem::copy_file(entry.path(),
                                           std::filesystem::path(dir.path()) / entry.path().filename(), ec);
        return !ec;
    }

    testrec::TempDir dir;
    std::string error;
    bool realistic;
    CVideoLibrary library;
    bool written;  // check before use: the folder could not be written otherwise
    CKorvidAppDlg w;
};

}  // namespace playertest
