// The player's logging categories. Information and warnings are on by
// default; debug output is switched on per category, for example
//   QT_LOGGING_RULES="korvid.playback.debug=true;korvid.panel.debug=true"
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)       // korvid.app: start-up, single instance, plugins
Q_DECLARE_LOGGING_CATEGORY(lcWindow)    // korvid.window: skin, layout, commands
Q_DECLARE_LOGGING_CATEGORY(lcPlayback)  // korvid.playback: open, transport, position, media end
Q_DECLARE_LOGGING_CATEGORY(lcLibrary)   // korvid.library: scans, index recovery
Q_DECLARE_LOGGING_CATEGORY(lcPanel)     // korvid.panel: list, calendar and info pages, pictures
