// qmr3tool events, run as a process on a folder of generated recordings.
#include "generator.h"
#include "testrecordings.h"
#include "toolrun.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using testrec::ToolRun;

class Qmr3ToolEvents : public ::testing::Test {
protected:
    ToolRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {QMR3TOOL_PATH, "events"});
        return testrec::runTool(std::move(args), io);
    }
    // Ten pictures a second, one group a second, from 2026-12-01 09:mm:00.
    void write(const std::string& name, int minute, int seconds, std::vector<qmr3::EventSpec> events,
               std::vector<qmr3::SecondRange> motion = {}) {
        qmr3::GenOptions o;
        o.fps = 10;
        o.gop = 10;
        o.seconds = seconds;
        o.year = 2026;
        o.month = 12;
        o.day = 1;
        o.hour = 9;
        o.minute = minute;
        o.events = std::move(events);
        o.motion = std::move(motion);
        ASSERT_TRUE(qmr3::generateRecording(dir.file(name), o).ok);
    }
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) out.push_back(l);
        return out;
    }

    testrec::TempDir io;
    testrec::TempDir dir;
};

}  // namespace

TEST_F(Qmr3ToolEvents, ListsEverySpanOfAFolderWithTimesKindsAndOffsets) {
    // An alarm in two runs with a quiet second between, motion overlapping the
    // second run, and an emergency (with its alarm bit) in a later recording.
    write("early.qmr3", 0, 20, {{{2, 4}, 0x01}, {{6, 7}, 0x01}}, {{7, 9}});
    write("later.qmr3", 5, 10, {{{3, 3}, 0x03}});
    write("quiet.qmr3", 7, 5, {});

    const ToolRun table = run({dir.path()});
    EXPECT_EQ(table.status, 0) << table.err;
    const std::vector<std::string> rows = lines(table.out);
    ASSERT_EQ(rows.size(), 7u) << table.out;
    EXPECT_EQ(rows[0].rfind("RECORDING", 0), 0u);
    const std::string expected[] = {
        "early.qmr3  A     2026-12-01 09:00:02  2026-12-01 09:00:04     0:02",
        "early.qmr3  A     2026-12-01 09:00:06  2026-12-01 09:00:07     0:06",
        "early.qmr3  M     2026-12-01 09:00:07  2026-12-01 09:00:09     0:07",
        "later.qmr3  A     2026-12-01 09:05:03  2026-12-01 09:05:03     0:03",
        "later.qmr3  E     2026-12-01 09:05:03  2026-12-01 09:05:03     0:03",
    };
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(rows[i + 1], expected[i]);
    EXPECT_EQ(rows[6], "5 event span(s)");

    // Chosen kinds and a time window, as JSON.
    const ToolRun json = run(
        {dir.path(), "--kind", "M,E", "--from", "2026-12-01 09:00:08", "--to", "2026-12-01T09:10", "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    const std::vector<std::string> items = lines(json.out);
    ASSERT_EQ(items.size(), 4u) << json.out;
    EXPECT_EQ(items[0], "[");
    EXPECT_NE(items[1].find("{\"recording\": \"early.qmr3\", \"path\": \"" + dir.file("early.qmr3") +
                            "\", \"kind\": \"M\", \"start\": \"2026-12-01 09:00:07\", \"end\": \"2026-12-01 "
                            "09:00:09\", \"offset\": 7, \"file_offset\": "),
              std::string::npos)
        << items[1];
    EXPECT_NE(items[2].find("\"recording\": \"later.qmr3\""), std::string::npos);
    EXPECT_NE(items[2].find("\"kind\": \"E\""), std::string::npos);
    EXPECT_EQ(items[3], "]");

    // One file given by name; nothing in the window is an empty list.
    const ToolRun none = run({dir.file("quiet.qmr3"), "--json"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "[]\n");

    // Bad input is refused with a reason.
    const ToolRun badKind = run({dir.path(), "--kind", "X"});
    EXPECT_EQ(badKind.status, 2);
    EXPECT_NE(badKind.err.find("unknown event kind"), std::string::npos);
    const ToolRun badTime = run({dir.path(), "--from", "yesterday"});
    EXPECT_EQ(badTime.status, 2);
    EXPECT_NE(badTime.err.find("cannot read the time"), std::string::npos);
    EXPECT_EQ(run({dir.path(), "--to"}).status, 2);
    EXPECT_EQ(run({}).status, 2);
    const ToolRun missing = run({dir.file("gone.qmr3")});
    EXPECT_EQ(missing.status, 1);
}
