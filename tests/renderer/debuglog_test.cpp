// The renderer's debug category: silent in normal playback, and at level 5
// it tells what each turn decided.
#include "pexaroharness.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

using namespace pexarotest;

namespace {

// Collects the messages of the pexarosink category while it exists.
class CategoryLog {
public:
    CategoryLog() {
        gst_debug_set_active(TRUE);
        gst_debug_remove_log_function(gst_debug_log_default);
        gst_debug_add_log_function(&CategoryLog::OnLog, this, nullptr);
    }
    ~CategoryLog() {
        gst_debug_remove_log_function(&CategoryLog::OnLog);
        gst_debug_add_log_function(gst_debug_log_default, nullptr, nullptr);
        gst_debug_set_threshold_for_name("pexarosink", GST_LEVEL_NONE);
    }
    std::vector<std::string> Messages() const {
        std::lock_guard<std::mutex> lock(lock_);
        return messages_;
    }
    bool Has(const std::string& part) const {
        for (const auto& m : Messages())
            if (m.find(part) != std::string::npos) return true;
        return false;
    }

private:
    static void OnLog(GstDebugCategory* category, GstDebugLevel, const gchar*, const gchar*, gint, GObject*,
                      GstDebugMessage* message, gpointer self) {
        if (std::string(gst_debug_category_get_name(category)) != "pexarosink") return;
        auto* log = static_cast<CategoryLog*>(self);
        std::lock_guard<std::mutex> lock(log->lock_);
        log->messages_.push_back(gst_debug_message_get(message));
    }
    mutable std::mutex lock_;
    std::vector<std::string> messages_;
};

void PlayThreeGroups(PexaroPipeline& p) {
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    p.StartFeeding({Group(0, 15), Group(100, 15), Group(200, 15)});
    ASSERT_TRUE(p.target().WaitForCount(45)) << Describe(p.target().Frames());
}

}  // namespace

TEST(DebugLog, NormalPlaybackSaysNothingUpToWarnings) {
    ASSERT_TRUE(LoadPexaroPlugin());
    CategoryLog log;
    gst_debug_set_threshold_for_name("pexarosink", GST_LEVEL_WARNING);
    {
        PexaroPipeline p;
        PlayThreeGroups(p);
    }
    EXPECT_TRUE(log.Messages().empty()) << log.Messages().front();
}

TEST(DebugLog, LevelFiveExplainsModeSwapsPresentationAndPacing) {
    ASSERT_TRUE(LoadPexaroPlugin());
    CategoryLog log;
    gst_debug_set_threshold_for_name("pexarosink", GST_LEVEL_DEBUG);
    {
        PexaroPipeline p;
        PlayThreeGroups(p);
    }
    EXPECT_TRUE(log.Has("play mode 0")) << "mode";
    EXPECT_TRUE(log.Has("swapped in at once")) << "intake swap";
    EXPECT_TRUE(log.Has("swap: 15 pictures read forwards")) << "render-thread swap";
    EXPECT_TRUE(log.Has("presented in mode 0")) << "present";
    EXPECT_TRUE(log.Has("pacing:")) << "pacing";
    EXPECT_TRUE(log.Has("rate code 1 of family 0")) << "rate";
    // Pictures taken in are level 6, not 5.
    EXPECT_FALSE(log.Has("taken in, sync answer"));
}
