// Per-picture facts that must survive the H.264 decoder: a GstMeta without
// tags, which the video decoder base class copies onto the decoded picture.
// Both elements link this code; registration is shared by name, so whichever
// plugin loads first registers it and the other finds it.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

typedef struct {
    GstMeta meta;
    gboolean intra;      /* coded picture was an intra picture (sync point) */
    guint32 frame_index; /* from the payload's 4-byte trailer */
    guint8 flags;        /* packet flags byte */
    gboolean group_end;  /* last picture of its group */
} KorvidPictureMeta;

GType korvid_picture_meta_api_get_type(void);
const GstMetaInfo* korvid_picture_meta_get_info(void);

KorvidPictureMeta* korvid_picture_meta_add(GstBuffer* buffer, gboolean intra, guint32 frame_index,
                                           guint8 flags, gboolean group_end);
KorvidPictureMeta* korvid_picture_meta_get(GstBuffer* buffer);

G_END_DECLS
