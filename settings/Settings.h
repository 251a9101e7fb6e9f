#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>

namespace qv {

struct ArchiverSlot {
    std::string extension;
    std::string path;
    std::string options;
};

// The settings in memory: read once at start-up, written once at shutdown.
struct Settings {
    std::string raDir;
    std::string fileBasePath; // as stored in CONFIG.RA, one trailing backslash removed
    bool originalOrder = false; // area selector by number
    std::string cfName = "Terminal";
    std::string cfSize = "9"; // kept as text when it is not a plain number
    bool cfBold = false;
    bool cfItalic = false;
    int defaultArea = 0;
    bool viewList = false;
    int windowWidth = 8000; // twips
    int windowHeight = 7000;
    std::optional<int> windowX;
    std::optional<int> windowY;
    int windowState = 0; // 0 normal, 1 minimised, 2 maximised
    bool useLfn = true;
    bool areaListEnabled = true;
    int areaListWidth = 3500;
    int descHeight = 1500;
    std::array<ArchiverSlot, 32> archivers {};
    std::string version = "1.5";
    std::string tempDir;
    std::string commandInterpreter;
    std::string sendToFile;
    std::string codePage = "IBM437"; // CodePage, read only
    std::map<char, std::string> drives; // [Drives]: DOS drive letter (upper case) to host directory, read only
};

constexpr int kTwipsPerInch = 1440;
inline int twipsToPixels(int twips, int dpi)
{
    return twips * dpi / kTwipsPerInch;
}
inline int pixelsToTwips(int pixels, int dpi)
{
    return pixels * kTwipsPerInch / dpi;
}

} // namespace qv
