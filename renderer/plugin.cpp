// Plugin file entry: registers `pexarosink`.
#include "gstpexarosink.h"

#ifndef PACKAGE
#define PACKAGE "korvid"
#endif

namespace {
gboolean PluginInit(GstPlugin* plugin) { return gst_pexaro_register(plugin); }
}  // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, pexaro, "Korvid video renderer", PluginInit, "1.0",
                  "Proprietary", "Korvid", "https://korvid.invalid")
