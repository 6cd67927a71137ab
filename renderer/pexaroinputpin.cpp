#include "pexaroinputpin.h"

#include "pexarodebug.h"
#include "pexarofilter.h"

namespace {

GstStaticPadTemplate gInTemplate = GST_STATIC_PAD_TEMPLATE(
    "In", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string)BGRx, width=(int)[1, 16384], height=(int)[1, 16384], "
                    "framerate=(fraction)[0/1, MAX]"));

}  // namespace

GstStaticPadTemplate* CPexaroInputPin::Template() { return &gInTemplate; }

CPexaroInputPin::CPexaroInputPin(CPexaroFilter* filter, GstElement* element)
    : filter_(filter), element_(element) {
    pad_ = gst_pad_new_from_static_template(&gInTemplate, "In");
    gst_pad_set_element_private(pad_, this);
    gst_pad_set_chain_function(pad_, Chain);
    gst_pad_set_event_function(pad_, Event);
    gst_element_add_pad(element_, pad_);
}

GstFlowReturn CPexaroInputPin::Chain(GstPad* pad, GstObject*, GstBuffer* buffer) {
    auto* self = static_cast<CPexaroInputPin*>(gst_pad_get_element_private(pad));
    const GstFlowReturn ret = self->filter_->Receive(buffer);
    gst_buffer_unref(buffer);
    return ret;
}

gboolean CPexaroInputPin::Event(GstPad* pad, GstObject*, GstEvent* event) {
    auto* self = static_cast<CPexaroInputPin*>(gst_pad_get_element_private(pad));
    gboolean ok = TRUE;
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        GstVideoInfo info;
        ok = caps && gst_video_info_from_caps(&info, caps) &&
             GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGRx;
        if (ok) self->filter_->SetMediaType(info);
        if (ok)
            GST_DEBUG_OBJECT(pad, "pictures of %dx%d", GST_VIDEO_INFO_WIDTH(&info),
                             GST_VIDEO_INFO_HEIGHT(&info));
        else GST_WARNING_OBJECT(pad, "refused caps %" GST_PTR_FORMAT, caps);
        break;
    }
    case GST_EVENT_EOS:
        // A sink reports the end of the stream to the bin itself.
        GST_DEBUG_OBJECT(pad, "end of stream");
        gst_element_post_message(self->element_, gst_message_new_eos(GST_OBJECT(self->element_)));
        break;
    default: break;
    }
    gst_event_unref(event);
    return ok;
}
