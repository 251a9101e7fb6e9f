#pragma once

#include "QvVersion.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct ArchiverSlot {
    std::string extension;
    std::string path;
    std::string options;
};

// The settings in memory: read once at start-up, written once at shutdown.
struct Settings {
    std::string boardDirectory;
    std::string fileBasePath; // as stored in CONFIG.RA, one trailing backslash removed
    bool areasInNumberOrder = false; // area selector by number
    std::string descriptionFontName = "Terminal";
    std::string descriptionFontSize = "9"; // kept as text when it is not a plain number
    bool descriptionFontBold = false;
    bool descriptionFontItalic = false;
    int startupArea = 0;
    bool viewAsList = false;
    int windowWidth = 8000; // twips
    int windowHeight = 7000;
    bool windowSizeStored = true; // false: the settings file holds no size; the window picks one
    std::optional<int> windowX;
    std::optional<int> windowY;
    int windowState = 0; // 0 normal, 1 minimised, 2 maximised
    bool useLongNames = true;
    bool areaPanelShown = true;
    int areaPanelWidth = 3500;
    int descriptionPaneHeight = 1500;
    std::array<ArchiverSlot, 32> archivers {};
    std::string version = kVersionText;
    std::string tempDir;
    std::string commandInterpreter;
    int archiverTimeoutSeconds = 30; // ArchiverTimeout, read only: an archiver running longer is killed
    std::string sendToFile;
    std::string codePage = "IBM437"; // CodePage, read only
    std::map<char, std::string> drives; // [Drives]: DOS drive letter (upper case) to host directory, read only
    // Kept from run to run as the sysop left them.
    std::string findText;
    bool findByName = false;
    std::string addFilesMask = "*.*";
    bool addFilesShowAll = false;
    std::vector<int> listColumnWidths; // twips per column of the list; empty: the defaults
    std::vector<int> findColumnWidths; // the same for the find results
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
