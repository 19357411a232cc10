// What a frame record's purges gained: the windows either side, the yardstick, and when a record
// is too short to tell, how much longer to record.
#include "sim/report/gains_report.h"
#include "sim/session/purge_gains.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// seconds at 25 fps, then the rest at 50: a purge at each switch lifts the frame rate.
std::vector<double> lowThenHigh(int lowSeconds, int highSeconds)
{
    std::vector<double> frames(static_cast<std::size_t>(lowSeconds * 25), 40.0);
    frames.insert(frames.end(), static_cast<std::size_t>(highSeconds * 50), 20.0);
    return frames;
}

struct TooFewCase {
    const char* name;
    std::vector<sim::GainPurge> purges;
    std::optional<int> minutesMore;
    const char* said; // in the sentence that asks for more; "" for none
};

TEST(purgeGains, asksForMoreRecordingOnlyWhenThereAreTooFewPurges)
{
    // 60 s of frames, the switch at 30 s.
    const std::vector<double> frames = lowThenHigh(30, 30);
    const auto purgesAt = [](int count, bool withheld) {
        std::vector<sim::GainPurge> purges;
        for (int i = 0; i < count; ++i) {
            purges.push_back({30000.0 + i * 10.0, withheld ? 0 : 10, withheld});
        }
        return purges;
    };
    const TooFewCase cases[] = {
        {"none", {}, sim::minutesToRecordWithoutPurges, "no purge could be measured"},
        // One purge a minute: four more minutes for the five.
        {"one", purgesAt(1, false), 4, "record about 4 more minutes of play"},
        {"fourJustBelow", purgesAt(4, false), 1, "4 purges are too few"},
        {"fiveEnough", purgesAt(5, false), std::nullopt, ""},
        {"withheldOnlyIsTheYardstick", purgesAt(3, true), std::nullopt, ""},
        // At the very end: no window after it, so none is measured, and the pace says how long.
        {"onlyAtTheEdge", {{59900.0, 10, false}}, 5, "no purge could be measured"},
    };
    for (const TooFewCase& c : cases) {
        const sim::PurgeGains gains = sim::measurePurgeGains(frames, c.purges);
        EXPECT_EQ(gains.minutesMoreToRecord, c.minutesMore) << c.name;
        const std::string longer = sim::recordLongerSentence(gains);
        EXPECT_NE(longer.find(c.said), std::string::npos) << c.name << ": " << longer;
        EXPECT_EQ(longer.empty(), !c.minutesMore) << c.name << ": " << longer;
    }
}

TEST(purgeGains, theTextTheJsonAndThePageSayTheSameFigures)
{
    const std::vector<double> frames = lowThenHigh(30, 30);
    const sim::PurgeGains gains = sim::measurePurgeGains(frames, {{30000.0, 10, false}});
    ASSERT_EQ(gains.purges.size(), 1u);
    EXPECT_DOUBLE_EQ(gains.purges[0].fpsBefore, 25.0);
    EXPECT_DOUBLE_EQ(gains.purges[0].fpsAfter, 50.0);
    // 20 ms less a frame, over 10 vehicles.
    ASSERT_TRUE(gains.msPerVehicle);
    EXPECT_DOUBLE_EQ(*gains.msPerVehicle, 2.0);

    std::ostringstream text;
    sim::printPurgeGains(text, gains);
    EXPECT_NE(text.str().find("25.0 ->   50.0 fps (+25.0)"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find(sim::gainsSentence(gains)), std::string::npos) << text.str();

    const nlohmann::json json = sim::purgeGainsJson(gains);
    EXPECT_EQ(json["purges"][0]["gainFps"], 25.0);
    EXPECT_EQ(json["msPerVehicle"], 2.0);
    EXPECT_EQ(json["minutesMoreToRecord"], 4);
    EXPECT_EQ(json["sentence"], sim::gainsSentence(gains));

    std::ostringstream page;
    sim::html::Writer writer{page};
    sim::purgeGainsSection(writer, gains);
    EXPECT_NE(page.str().find("<td>+25.0</td>"), std::string::npos) << page.str();
    EXPECT_NE(page.str().find("Record about 4 more minutes"), std::string::npos) << page.str();
}

} // namespace
