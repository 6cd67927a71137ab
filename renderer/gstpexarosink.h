// GObject side of the renderer element `pexarosink`.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_PEXARO_SINK (gst_pexaro_sink_get_type())
G_DECLARE_FINAL_TYPE(GstPexaroSink, gst_pexaro_sink, GST, PEXARO_SINK, GstElement)

GST_ELEMENT_REGISTER_DECLARE(pexarosink);

G_END_DECLS
