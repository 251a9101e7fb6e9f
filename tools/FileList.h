#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace qv {

class Board;

// One list of the files of many areas, for callers and for the web: each area with a heading
// (name, number, count and size of its listed files), its entries as the FILES.BBS export
// writes them, totals at the end. Entries the export leaves out are left out; with days only
// what was uploaded in the last days (a new-files list).
class FileList {
public:
    struct Options {
        std::vector<int> areas = {}; // in the order listed
        std::optional<int> days = {}; // entries uploaded on or after today minus days
        QDate today = QDate::currentDate();
        bool html = false; // one UTF-8 page; else text in the board's code page
        QByteArray banner = {}; // copied in as they are (text) or as escaped text (HTML)
        QByteArray footer = {};
    };
    struct Totals {
        int areas = 0; // with a section in the list
        uint64_t files = 0;
        uint64_t bytes = 0;
    };
    struct Outcome {
        bool ok = true;
        QString problem; // what failed
        Totals totals;
    };

    explicit FileList(const Board& board);

    // Writes the list through out in pieces (false from out stops it).
    Outcome write(const Options& options, const std::function<bool(std::string_view)>& out,
        const std::function<void(int area)>& started = {}) const;
    // Replaces the file at path through a temporary file beside it and a rename; the old file's
    // mode is kept. A failure leaves the old file.
    Outcome writeFile(
        const QString& path, const Options& options, const std::function<void(int area)>& started = {}) const;

private:
    const Board& m_board;
};

} // namespace qv
