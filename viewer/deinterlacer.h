// How the video branch deinterlaces large pictures.
#pragma once

#include <gst/gst.h>

namespace lumacast {

// Sets a `deinterlace` element up for the recorder's large pictures. They are
// interlaced, but the decoder marks them progressive, so deinterlacing is
// forced. Only the top field is used and the other field's lines are
// interpolated, so each picture in gives one picture out with its own time:
// the groups of pictures the renderer counts keep their length.
void ConfigureDeinterlacer(GstElement* deinterlace);

}  // namespace lumacast
