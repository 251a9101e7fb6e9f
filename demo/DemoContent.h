#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// What the demo board holds, before it is turned into the board's files.
struct DemoEntry {
    std::string name; // 8.3 header name; empty for a comment line
    std::string longName; // the name of the file on disk when it is not the 8.3 name
    std::string uploader;
    int32_t uploadDate = 0;
    int32_t fileDate = 0;
    int32_t lastDownloadDate = 0;
    int downloads = 0;
    uint8_t attributes = 0;
    std::string password;
    std::array<std::string, 5> keywords;
    int cost = 0;
    int32_t checksum = 0;
    std::optional<std::string> description; // none: the description pointer is -1
    std::string content; // the file's bytes; its length is the size field
    bool onDisk = true; // false: the entry's file is missing from the area directory
};

struct DemoArea {
    int number = 0;
    std::string name;
    int group = 0;
    std::string dir; // directory below FILES, also the last component of the stored path
    bool longNameFile = true; // whether fdbN.lfn is written
    std::vector<DemoEntry> entries;
};

struct DemoGroup {
    int number = 0;
    std::string name;
};

struct DemoLayout {
    std::string boardName;
    std::vector<DemoGroup> groups; // FGROUPS.RA record order
    std::vector<std::optional<DemoArea>> records; // FILES.RA record order; none is a blank record
};

DemoLayout demoLayout();

// Entries of the large area (enough to scroll).
constexpr int kDemoLargeAreaEntries = 2000;

} // namespace qv
