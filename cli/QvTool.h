#pragma once

#include "platform/CodePage.h"
#include "platform/DosPath.h"
#include "storage/AreaConfiguration.h"
#include "storage/AreaStore.h"

#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace qv {

struct ToolOptions {
    QString boardDir;
    QMap<QChar, QString> drives;
    QString codePage; // empty: CP437
    bool json = false;
};

// The commands of qvtool. Each returns the exit status: 0 done, 1 a failure or a problem found.
class QvTool {
public:
    explicit QvTool(ToolOptions options);

    int info();
    int groups();
    int areas();
    int list(int area);
    int stat(int area);
    int check(std::optional<int> area);
    static int makeDemo(const QString& dir);

private:
    bool readConfiguration();
    // The host directory of the file base, or an error message on stderr and false.
    bool fileBaseDir(std::string& dir);
    bool requireArea(int area);
    // Loads the area as the file list does; reports the loader's failure on stderr.
    bool load(int area, const std::string& fileBaseDir, LoadOutcome& outcome);
    QString decode(const std::string& bytes) const { return m_codePage.decode(bytes); }
    void printJson(const QJsonValue& value) const;
    static void out(const QString& text);
    static void fail(const QString& text);

    ToolOptions m_options;
    DosPathMapper m_mapper;
    CodePage m_codePage;
    AreaConfiguration m_config;
    std::string m_fileBasePath; // as stored, one trailing backslash removed
};

} // namespace qv
