// Plugin file entry: registers `pexarosink`.
#include "gstpexarosink.h"

#ifndef PACKAGE
#define PACKAGE "korvid"
#endif

static gboolean plugin_init(GstPlugin* plugin) { return GST_ELEMENT_REGISTER(pexarosink, plugin); }

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, pexaro, "Korvid video renderer", plugin_init, "1.0",
                  "Proprietary", "Korvid", "https://korvid.invalid")
