#include "ratetable.h"

namespace korvid {

namespace {

struct NumberRow {
    int number;
    RateNumberEntry family[2];
};

// Neighbouring numbers share a rate: the recorder rounds the rates it cannot
// pace exactly. Family 25, number 10 (2.5 pictures per second) is paced at 3,
// so it takes the code of 3 pictures per second; the renderer then shows its
// pictures as fast as they come.
constexpr NumberRow kNumbers[] = {
    {1, {{30, 1}, {25, 1}}},     {2, {{15, 2}, {13, 2}}},     {3, {{10, 3}, {8, 3}}},
    {4, {{6, 5}, {6, 4}}},       {5, {{6, 5}, {5, 5}}},       {8, {{3, 8}, {3, 8}}},
    {10, {{3, 10}, {3, 8}}},     {25, {{1, 30}, {1, 25}}},    {30, {{1, 30}, {1, 25}}},
    {50, {{1, 60}, {1, 50}}},    {60, {{1, 60}, {1, 50}}},    {125, {{1, 150}, {1, 125}}},
    {150, {{1, 150}, {1, 125}}}, {250, {{1, 300}, {1, 250}}}, {300, {{1, 300}, {1, 250}}},
};

struct CodeRow {
    int type;
    int code;
    RateCodeEntry entry;
};

// Family 30, code 8 is what number 8 (3 pictures per second) hands over.
constexpr CodeRow kCodes[] = {
    {0, 1, {30, 30, 1000, false}},   {0, 2, {15, 15, 1000, false}},   {0, 3, {10, 10, 1000, false}},
    {0, 5, {6, 6, 1000, false}},     {0, 8, {3, 3, 1000, false}},     {0, 10, {3, 3, 1000, false}},
    {0, 30, {1, 1, 1000, true}},     {0, 60, {0.5, 1, 2000, true}},   {0, 150, {0.2, 1, 5000, true}},
    {0, 300, {0.1, 1, 10000, true}}, {1, 1, {25, 25, 1000, false}},   {1, 2, {12.5, 25, 2000, false}},
    {1, 3, {8, 8, 1000, false}},     {1, 4, {6, 6, 1000, false}},     {1, 5, {5, 5, 1000, false}},
    {1, 8, {3, 3, 1000, false}},     {1, 25, {1, 1, 1000, true}},     {1, 50, {0.5, 1, 2000, true}},
    {1, 125, {0.2, 1, 5000, true}},  {1, 250, {0.1, 1, 10000, true}},
};

bool knownFamily(int videoType) { return videoType == 0 || videoType == 1; }

}  // namespace

std::optional<RateNumberEntry> LookupRateNumber(int rateNumber, int videoType) {
    if (!knownFamily(videoType)) return std::nullopt;
    for (const NumberRow& row : kNumbers)
        if (row.number == rateNumber) return row.family[videoType];
    return std::nullopt;
}

std::optional<RateCodeEntry> LookupRateCode(int rateCode, int videoType) {
    for (const CodeRow& row : kCodes)
        if (row.type == videoType && row.code == rateCode) return row.entry;
    return std::nullopt;
}

std::optional<int> RateIndexForPicturesPerSecond(int picturesPerSecond, int videoType) {
    if (!knownFamily(videoType)) return std::nullopt;
    for (const NumberRow& row : kNumbers)
        if (row.family[videoType].picturesPerSecond == picturesPerSecond) return row.number - 1;
    return std::nullopt;
}

std::vector<int> RateNumbers() {
    std::vector<int> numbers;
    for (const NumberRow& row : kNumbers) numbers.push_back(row.number);
    return numbers;
}

}  // namespace korvid
