#include "picturemeta.h"

namespace {

gboolean metaInit(GstMeta* meta, gpointer, GstBuffer*) {
    auto* m = reinterpret_cast<KorvidPictureMeta*>(meta);
    m->intra = FALSE;
    m->frame_index = 0;
    m->flags = 0;
    m->group_end = FALSE;
    return TRUE;
}

gboolean metaTransform(GstBuffer* dest, GstMeta* meta, GstBuffer*, GQuark, gpointer) {
    auto* m = reinterpret_cast<KorvidPictureMeta*>(meta);
    return korvid_picture_meta_add(dest, m->intra, m->frame_index, m->flags, m->group_end) != nullptr;
}

}  // namespace

GType korvid_picture_meta_api_get_type(void) {
    static GType type = 0;
    if (g_once_init_enter(&type)) {
        // The other element's copy of this code may have registered it already.
        GType t = g_type_from_name("KorvidPictureMetaAPI");
        if (!t) {
            static const gchar* tags[] = {nullptr};
            t = gst_meta_api_type_register("KorvidPictureMetaAPI", tags);
        }
        g_once_init_leave(&type, t);
    }
    return type;
}

const GstMetaInfo* korvid_picture_meta_get_info(void) {
    static const GstMetaInfo* info = nullptr;
    if (g_once_init_enter(&info)) {
        const GstMetaInfo* i = gst_meta_get_info("KorvidPictureMeta");
        if (!i)
            i = gst_meta_register(korvid_picture_meta_api_get_type(), "KorvidPictureMeta",
                                  sizeof(KorvidPictureMeta), metaInit, nullptr, metaTransform);
        g_once_init_leave(&info, i);
    }
    return info;
}

KorvidPictureMeta* korvid_picture_meta_add(GstBuffer* buffer, gboolean intra, guint32 frame_index,
                                           guint8 flags, gboolean group_end) {
    auto* m = reinterpret_cast<KorvidPictureMeta*>(
        gst_buffer_add_meta(buffer, korvid_picture_meta_get_info(), nullptr));
    if (m) {
        m->intra = intra;
        m->frame_index = frame_index;
        m->flags = flags;
        m->group_end = group_end;
    }
    return m;
}

KorvidPictureMeta* korvid_picture_meta_get(GstBuffer* buffer) {
    return reinterpret_cast<KorvidPictureMeta*>(
        gst_buffer_get_meta(buffer, korvid_picture_meta_api_get_type()));
}
