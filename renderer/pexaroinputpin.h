// The element's only pad, "In": takes 32-bit BGRx pictures and hands each
// buffer to the filter's sample intake. It never waits on the clock.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

class CPexaroFilter;

class CPexaroInputPin {
public:
    CPexaroInputPin(CPexaroFilter* filter, GstElement* element);
    CPexaroInputPin(const CPexaroInputPin&) = delete;
    CPexaroInputPin& operator=(const CPexaroInputPin&) = delete;

    GstPad* pad() const { return pad_; }
    static GstStaticPadTemplate* Template();

private:
    static GstFlowReturn Chain(GstPad* pad, GstObject* parent, GstBuffer* buffer);
    static gboolean Event(GstPad* pad, GstObject* parent, GstEvent* event);

    CPexaroFilter* filter_;
    GstElement* element_;
    GstPad* pad_;
};
