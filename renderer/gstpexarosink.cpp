// The pexarosink element: one always sink pad "In" taking BGRx pictures, and
// the read-only "control" pointer to its IPexaroControl. The work is done by
// CPexaroFilter; this file is the GObject around it.
#include "gstpexarosink.h"

#include "pexarodebug.h"
#include "pexarofilter.h"

GST_DEBUG_CATEGORY(pexaro_debug);

struct _GstPexaroSink {
    GstElement parent;
    CPexaroFilter* filter;
};

G_DEFINE_TYPE_WITH_CODE(GstPexaroSink, gst_pexaro_sink, GST_TYPE_ELEMENT,
                        GST_DEBUG_CATEGORY_INIT(pexaro_debug, "pexarosink", 0, "Korvid video renderer"))

GST_ELEMENT_REGISTER_DEFINE(pexarosink, "pexarosink", GST_RANK_NONE, GST_TYPE_PEXARO_SINK)

enum { PROP_0, PROP_CONTROL };

static void gst_pexaro_sink_init(GstPexaroSink* self) {
    GST_OBJECT_FLAG_SET(self, GST_ELEMENT_FLAG_SINK);
    self->filter = new CPexaroFilter(GST_ELEMENT(self));
}

static void gst_pexaro_sink_finalize(GObject* object) {
    GstPexaroSink* self = GST_PEXARO_SINK(object);
    delete self->filter;  // ends the render thread
    self->filter = nullptr;
    G_OBJECT_CLASS(gst_pexaro_sink_parent_class)->finalize(object);
}

static void gst_pexaro_sink_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    GstPexaroSink* self = GST_PEXARO_SINK(object);
    if (id == PROP_CONTROL) g_value_set_pointer(value, self->filter ? self->filter->control() : nullptr);
    else G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

// The filter starts its render thread on the way up before the base class
// moves, and lets go of its groups on the way down after it.
static GstStateChangeReturn gst_pexaro_sink_change_state(GstElement* element, GstStateChange transition) {
    GstPexaroSink* self = GST_PEXARO_SINK(element);
    const bool upwards = GST_STATE_TRANSITION_NEXT(transition) > GST_STATE_TRANSITION_CURRENT(transition);
    GST_DEBUG_OBJECT(self, "state change %s", gst_state_change_get_name(transition));
    if (upwards) self->filter->OnStateChange(transition);
    const GstStateChangeReturn ret =
        GST_ELEMENT_CLASS(gst_pexaro_sink_parent_class)->change_state(element, transition);
    if (ret == GST_STATE_CHANGE_FAILURE) return ret;
    if (!upwards) self->filter->OnStateChange(transition);
    return ret;
}

static void gst_pexaro_sink_class_init(GstPexaroSinkClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    gobject_class->finalize = gst_pexaro_sink_finalize;
    gobject_class->get_property = gst_pexaro_sink_get_property;
    g_object_class_install_property(
        gobject_class, PROP_CONTROL,
        g_param_spec_pointer("control", "Control", "The renderer's IPexaroControl (owned by the element)",
                             GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    element_class->change_state = gst_pexaro_sink_change_state;
    gst_element_class_add_static_pad_template(element_class, CPexaroInputPin::Template());
    gst_element_class_set_static_metadata(element_class, "Pexaro Filter", "Sink/Video",
                                          "Keeps groups of pictures and presents them forwards or backwards",
                                          "Korvid");
}
