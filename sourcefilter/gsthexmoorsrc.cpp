// The hexmoorsrc element and the plugin that registers it: a GstElement with
// two always source pads, "video" (H.264 byte-stream) and "audio" (8-bit
// PCM or Microsoft ADPCM), a "location" for standalone use, and the
// read-only "control" pointer to its IHexmoorControl.
#include "hexmoorfilter.h"

#include <gst/gst.h>

#include <string>

#ifndef PACKAGE
#define PACKAGE "korvid"
#endif

GST_DEBUG_CATEGORY(hexmoor_debug);
#define GST_CAT_DEFAULT hexmoor_debug

#define GST_TYPE_HEXMOOR_SRC (gst_hexmoor_src_get_type())
G_DECLARE_FINAL_TYPE(GstHexmoorSrc, gst_hexmoor_src, GST, HEXMOOR_SRC, GstElement)

struct _GstHexmoorSrc {
    GstElement parent;
    GstPad* video;
    GstPad* audio;
    gchar* location;
    gboolean pacing;  // off: pictures leave as fast as downstream takes them (benchmarks, tools)
    hexmoor::CHexmoorFilter* filter;
};

G_DEFINE_TYPE_WITH_CODE(GstHexmoorSrc, gst_hexmoor_src, GST_TYPE_ELEMENT,
                        GST_DEBUG_CATEGORY_INIT(hexmoor_debug, "hexmoorsrc", 0, "Korvid recording source"))

GST_ELEMENT_REGISTER_DEFINE(hexmoorsrc, "hexmoorsrc", GST_RANK_NONE, GST_TYPE_HEXMOOR_SRC)

enum { PROP_0, PROP_LOCATION, PROP_CONTROL, PROP_PACING };

static GstStaticPadTemplate video_template = GST_STATIC_PAD_TEMPLATE(
    "video", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-h264, stream-format=(string)byte-stream, alignment=(string)au"));

static GstStaticPadTemplate audio_template = GST_STATIC_PAD_TEMPLATE(
    "audio", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(
        "audio/x-raw, format=(string)U8, layout=(string)interleaved, rate=(int)8000, channels=(int)1; "
        "audio/x-adpcm, layout=(string)microsoft, rate=(int)8000, channels=(int)2, block_align=(int)512"));

static gboolean hexmoor_activate_mode(GstPad* pad, GstObject* parent, GstPadMode mode, gboolean active) {
    if (mode != GST_PAD_MODE_PUSH) return FALSE;
    GstHexmoorSrc* self = GST_HEXMOOR_SRC(parent);
    return pad == self->video ? self->filter->activateVideo(active) : self->filter->activateAudio(active);
}

static gboolean hexmoor_query(GstPad* pad, GstObject* parent, GstQuery* query) {
    GstHexmoorSrc* self = GST_HEXMOOR_SRC(parent);
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_CAPS: {
        GstCaps* caps = self->filter->padCaps(pad);
        if (!caps) caps = gst_pad_get_pad_template_caps(pad);
        GstCaps* filter = nullptr;
        gst_query_parse_caps(query, &filter);
        if (filter) {
            GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
            gst_caps_unref(caps);
            caps = both;
        }
        gst_query_set_caps_result(query, caps);
        gst_caps_unref(caps);
        return TRUE;
    }
    case GST_QUERY_LATENCY: gst_query_set_latency(query, FALSE, 0, GST_CLOCK_TIME_NONE); return TRUE;
    case GST_QUERY_SEEKING: {
        GstFormat format;
        gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
        gst_query_set_seeking(query, format, FALSE, 0, -1);
        return TRUE;
    }
    default: return gst_pad_query_default(pad, parent, query);
    }
}

static gboolean hexmoor_event(GstPad*, GstObject*, GstEvent* event) {
    // Positioning goes through the control interface, not through seeks.
    const gboolean ok = GST_EVENT_TYPE(event) != GST_EVENT_SEEK;
    gst_event_unref(event);
    return ok;
}

static GstPad* make_pad(GstHexmoorSrc* self, GstStaticPadTemplate* templ) {
    GstPad* pad = gst_pad_new_from_static_template(templ, templ->name_template);
    gst_pad_set_activatemode_function(pad, hexmoor_activate_mode);
    gst_pad_set_query_function(pad, hexmoor_query);
    gst_pad_set_event_function(pad, hexmoor_event);
    gst_pad_use_fixed_caps(pad);
    gst_element_add_pad(GST_ELEMENT(self), pad);
    return pad;
}

static void gst_hexmoor_src_init(GstHexmoorSrc* self) {
    self->video = make_pad(self, &video_template);
    self->audio = make_pad(self, &audio_template);
    self->location = nullptr;
    self->pacing = TRUE;
    self->filter = new hexmoor::CHexmoorFilter(GST_ELEMENT(self), self->video, self->audio);
    GST_OBJECT_FLAG_SET(self, GST_ELEMENT_FLAG_SOURCE);
}

static void gst_hexmoor_src_finalize(GObject* object) {
    GstHexmoorSrc* self = GST_HEXMOOR_SRC(object);
    delete self->filter;
    self->filter = nullptr;
    g_free(self->location);
    G_OBJECT_CLASS(gst_hexmoor_src_parent_class)->finalize(object);
}

static void gst_hexmoor_src_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    GstHexmoorSrc* self = GST_HEXMOOR_SRC(object);
    switch (id) {
    case PROP_LOCATION: {
        GstState state;
        GST_OBJECT_LOCK(self);
        state = GST_STATE(self);
        if (state == GST_STATE_NULL || state == GST_STATE_READY) {
            g_free(self->location);
            self->location = g_value_dup_string(value);
        } else {
            g_warning("hexmoorsrc: location can only be changed in the NULL or READY state");
        }
        GST_OBJECT_UNLOCK(self);
        break;
    }
    case PROP_PACING: {
        GST_OBJECT_LOCK(self);
        self->pacing = g_value_get_boolean(value);
        const bool off = !self->pacing;
        GST_OBJECT_UNLOCK(self);
        // Streams made already (a viewer's CreateStreams, or READY) take it at once.
        if (self->filter->hasStreams()) self->filter->SetNoPacing(off ? 1 : 0);
        break;
    }
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void gst_hexmoor_src_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    GstHexmoorSrc* self = GST_HEXMOOR_SRC(object);
    switch (id) {
    case PROP_LOCATION:
        GST_OBJECT_LOCK(self);
        g_value_set_string(value, self->location);
        GST_OBJECT_UNLOCK(self);
        break;
    case PROP_CONTROL: g_value_set_pointer(value, static_cast<korvid::IHexmoorControl*>(self->filter)); break;
    case PROP_PACING:
        GST_OBJECT_LOCK(self);
        g_value_set_boolean(value, self->pacing);
        GST_OBJECT_UNLOCK(self);
        break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static GstStateChangeReturn gst_hexmoor_src_change_state(GstElement* element, GstStateChange transition) {
    GstHexmoorSrc* self = GST_HEXMOOR_SRC(element);
    hexmoor::CHexmoorFilter* filter = self->filter;
    std::string error;
    switch (transition) {
    case GST_STATE_CHANGE_NULL_TO_READY: {
        GST_OBJECT_LOCK(self);
        std::string location = self->location ? self->location : "";
        const bool pacingOff = !self->pacing;
        GST_OBJECT_UNLOCK(self);
        if (!location.empty() && !filter->hasStreams() &&
            !filter->configureFromFile(location.c_str(), error)) {
            GST_ELEMENT_ERROR(element, RESOURCE, OPEN_READ, ("Could not play \"%s\".", location.c_str()),
                              ("%s", error.c_str()));
            return GST_STATE_CHANGE_FAILURE;
        }
        if (pacingOff) filter->SetNoPacing(1);
        break;
    }
    case GST_STATE_CHANGE_READY_TO_PAUSED: {
        // A location also serves a program that made the streams but opened no file.
        GST_OBJECT_LOCK(self);
        std::string location = self->location ? self->location : "";
        GST_OBJECT_UNLOCK(self);
        if (!location.empty()) filter->openIfNoFile(location.c_str());
        if (!filter->readyToStart(error)) {
            GST_ELEMENT_ERROR(element, CORE, STATE_CHANGE, ("The source is not set up."),
                              ("%s", error.c_str()));
            return GST_STATE_CHANGE_FAILURE;
        }
        filter->setStopping(false);
        break;
    }
    case GST_STATE_CHANGE_PAUSED_TO_READY: filter->setStopping(true); break;
    default: break;
    }
    const GstStateChangeReturn ret =
        GST_ELEMENT_CLASS(gst_hexmoor_src_parent_class)->change_state(element, transition);
    if (ret == GST_STATE_CHANGE_FAILURE) return ret;
    if (transition == GST_STATE_CHANGE_PAUSED_TO_PLAYING) filter->pipelineRunning();
    return ret;
}

static void gst_hexmoor_src_class_init(GstHexmoorSrcClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    gobject_class->set_property = gst_hexmoor_src_set_property;
    gobject_class->get_property = gst_hexmoor_src_get_property;
    gobject_class->finalize = gst_hexmoor_src_finalize;
    g_object_class_install_property(
        gobject_class, PROP_LOCATION,
        g_param_spec_string("location", "Location",
                            "Recording to play on its own (without a viewer handing in its shared words)",
                            nullptr, GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        gobject_class, PROP_CONTROL,
        g_param_spec_pointer("control", "Control", "The element's korvid::IHexmoorControl (hexmoorcontrol.h)",
                             GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        gobject_class, PROP_PACING,
        g_param_spec_boolean(
            "pacing", "Pacing",
            "Deliver pictures at the recording's rate; off, as fast as downstream takes them", TRUE,
            GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    element_class->change_state = gst_hexmoor_src_change_state;
    gst_element_class_add_static_pad_template(element_class, &video_template);
    gst_element_class_add_static_pad_template(element_class, &audio_template);
    gst_element_class_set_static_metadata(
        element_class, "Hexmoor Filter", "Source/Video/Audio",
        "Reads .qmr3 recordings and delivers timed H.264 pictures and sound, "
        "with trick play driven through its control interface",
        "Korvid");
}

static gboolean plugin_init(GstPlugin* plugin) { return GST_ELEMENT_REGISTER(hexmoorsrc, plugin); }

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, hexmoor, "Korvid recording source", plugin_init,
                  "1.0", "Proprietary", "Korvid", "https://korvid.invalid/")
