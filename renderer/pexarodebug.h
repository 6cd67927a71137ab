// The renderer's GStreamer debug category: GST_DEBUG=pexarosink:5 explains
// every render decision, pexarosink:6 also every picture taken in.
#pragma once

#include <gst/gst.h>

GST_DEBUG_CATEGORY_EXTERN(pexaro_debug);
#define GST_CAT_DEFAULT pexaro_debug
