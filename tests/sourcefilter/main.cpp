// Loads the freshly built plugin file before any test runs.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    GError* error = nullptr;
    GstPlugin* plugin = gst_plugin_load_file(HEXMOOR_PLUGIN_FILE, &error);
    if (!plugin) {
        std::fprintf(stderr, "cannot load %s: %s\n", HEXMOOR_PLUGIN_FILE, error ? error->message : "?");
        return 1;
    }
    gst_object_unref(plugin);
    return RUN_ALL_TESTS();
}
