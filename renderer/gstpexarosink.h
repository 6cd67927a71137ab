// GObject side of the renderer element `pexarosink`.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_PEXARO_SINK (gst_pexaro_sink_get_type())
GType gst_pexaro_sink_get_type(void);

gboolean gst_pexaro_register(GstPlugin* plugin);

G_END_DECLS
