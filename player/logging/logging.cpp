#include "logging.h"

Q_LOGGING_CATEGORY(lcApp, "korvid.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWindow, "korvid.window", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlayback, "korvid.playback", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLibrary, "korvid.library", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPanel, "korvid.panel", QtInfoMsg)
