#include "gstpexarosink.h"

#include "pexarofilter.h"

namespace {

struct GstPexaroSink {
    GstElement parent;
    CPexaroFilter* filter;
};

struct GstPexaroSinkClass {
    GstElementClass parent_class;
};

enum { PROP_0, PROP_CONTROL };

GstElementClass* gParentClass = nullptr;

void InstanceInit(GTypeInstance* instance, gpointer) {
    auto* self = reinterpret_cast<GstPexaroSink*>(instance);
    GST_OBJECT_FLAG_SET(self, GST_ELEMENT_FLAG_SINK);
    self->filter = new CPexaroFilter(GST_ELEMENT(self));
}

void Finalize(GObject* object) {
    auto* self = reinterpret_cast<GstPexaroSink*>(object);
    delete self->filter;  // ends the render thread
    self->filter = nullptr;
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    auto* self = reinterpret_cast<GstPexaroSink*>(object);
    if (id == PROP_CONTROL) g_value_set_pointer(value, self->filter ? self->filter->control() : nullptr);
    else G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
    auto* self = reinterpret_cast<GstPexaroSink*>(element);
    const bool upwards = GST_STATE_TRANSITION_NEXT(transition) > GST_STATE_TRANSITION_CURRENT(transition);
    if (upwards) self->filter->OnStateChange(transition);
    const GstStateChangeReturn ret = gParentClass->change_state(element, transition);
    if (ret == GST_STATE_CHANGE_FAILURE) return ret;
    if (!upwards) self->filter->OnStateChange(transition);
    return ret;
}

void ClassInit(gpointer klass, gpointer) {
    gParentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    auto* gobject = G_OBJECT_CLASS(klass);
    auto* element = GST_ELEMENT_CLASS(klass);
    gobject->finalize = Finalize;
    gobject->get_property = GetProperty;
    g_object_class_install_property(
        gobject, PROP_CONTROL,
        g_param_spec_pointer("control", "Control", "The renderer's IPexaroControl (owned by the element)",
                             static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    element->change_state = ChangeState;
    gst_element_class_add_static_pad_template(element, CPexaroInputPin::Template());
    gst_element_class_set_static_metadata(element, "Pexaro Filter", "Sink/Video",
                                          "Keeps groups of pictures and presents them forwards or backwards",
                                          "Korvid");
}

}  // namespace

GType gst_pexaro_sink_get_type(void) {
    static gsize type = 0;
    if (g_once_init_enter(&type)) {
        const GType t = g_type_register_static_simple(GST_TYPE_ELEMENT, g_intern_static_string("GstPexaroSink"),
                                                      sizeof(GstPexaroSinkClass), ClassInit,
                                                      sizeof(GstPexaroSink), InstanceInit, GTypeFlags(0));
        g_once_init_leave(&type, t);
    }
    return type;
}

gboolean gst_pexaro_register(GstPlugin* plugin) {
    return gst_element_register(plugin, "pexarosink", GST_RANK_NONE, GST_TYPE_PEXARO_SINK);
}
