#pragma once

#include "board/Board.h"
#include "settings/Settings.h"

#include <QJsonValue>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qv {

struct LoadOutcome;

// What a qvtool command runs with: the opened board, the output format and the ways to print.
class ToolContext {
public:
    ToolContext(Board::Options options, bool json);
    ~ToolContext();

    bool json() const { return m_json; }
    // The board, opened on first use.
    Board& board();
    const Board::Options& options() const { return m_options; }
    QString text(std::string_view bytes) { return board().text(bytes); }
    // The settings read from QV.INI (archivers, time limits).
    const Settings& settings() const { return m_settings; }
    void setSettings(Settings settings) { m_settings = std::move(settings); }

    // False with "Unable to read RA configuration files (FILES.RA) in DIR" when FILES.RA is missing.
    bool requireConfiguration();
    // False with "Area N does not exist" for an unknown area.
    bool requireArea(int area);
    // The areas of "AREA... | --all": the numbers given or, with all, every area of the board,
    // each found to exist; nullopt once the problem was reported, with the exit code in code.
    std::optional<std::vector<int>> chosenAreas(const QStringList& given, bool all, const QString& command, int& code);
    // False with the mapper's or the loader's message when the file base cannot be reached.
    bool requireFileBase();
    // Loads an area as the file list does; false with the loader's message.
    bool load(int area, LoadOutcome& outcome, WithPointers withPointers = WithPointers::No);

    // Text output: control characters from board files are shown escaped, never sent raw.
    void out(const QString& text) const;
    void printJson(const QJsonValue& value) const;
    // One error line on stderr, "qvtool: " in front.
    void fail(const QString& text) const;
    // A usage error: the problem, the usage text, exit code 2.
    int usage(const QString& problem) const;
    // The usage a usage error shows: the command's synopsis once the command is known.
    void setUsageText(QString text) { m_usageText = std::move(text); }
    const QString& usageText() const { return m_usageText; }
    // --quiet: no progress and no report text, only errors (and the JSON asked for).
    bool quiet() const { return m_quiet; }
    void setQuiet(bool quiet) { m_quiet = quiet; }

    // A 1-based area number argument (0..65535).
    static std::optional<int> areaNumber(const QString& text);
    // "\x1b" for each control character except tab and line ends.
    static QString escapeControls(const QString& text);

private:
    Board::Options m_options;
    bool m_json;
    std::unique_ptr<Board> m_board;
    Settings m_settings;
    QString m_usageText;
    bool m_quiet = false;
};

} // namespace qv
