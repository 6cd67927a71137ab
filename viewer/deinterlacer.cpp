#include "deinterlacer.h"

namespace lumacast {

void ConfigureDeinterlacer(GstElement* deinterlace) {
    if (!deinterlace) return;
    gst_util_set_object_arg(G_OBJECT(deinterlace), "mode", "interlaced");
    gst_util_set_object_arg(G_OBJECT(deinterlace), "fields", "top");
    gst_util_set_object_arg(G_OBJECT(deinterlace), "method", "linear");
}

}  // namespace lumacast
