#pragma once

#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace qv::test {

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
};

// Runs qvtool with a private XDG_CONFIG_HOME so the user's own QV.INI is never read; `input` is
// all its standard input gets.
inline ToolRun qvtool(const QStringList& args, const QString& configHome, const QByteArray& input = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QVTOOL_PATH), args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
        QString::fromUtf8(p.readAllStandardError()) };
}

// qvtool bound to one board: `prefix` comes before every command's own arguments.
struct BoundTool {
    QStringList prefix;
    QString configHome;
    ToolRun operator()(const QStringList& args, const QByteArray& input = {}) const
    {
        return qvtool(prefix + args, configHome, input);
    }
    // A run that must succeed; a failure names the command and what it said.
    ToolRun ok(const QStringList& args, const QByteArray& input = {}) const
    {
        ToolRun r = (*this)(args, input);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString() << r.out.toStdString();
        return r;
    }
    // A run that must end with `code` and, when `err` is given, print exactly that on stderr.
    void fails(const QStringList& args, int code, const QString& err = {}) const
    {
        const ToolRun r = (*this)(args);
        EXPECT_EQ(r.code, code) << args.join(' ').toStdString();
        if (!err.isNull()) {
            EXPECT_EQ(r.err, err) << args.join(' ').toStdString();
        }
    }
};

// Every file under dir with its bytes, to prove that a refusal changed nothing.
inline std::map<std::string, std::string> snapshot(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file()) {
            std::ifstream in(e.path(), std::ios::binary);
            files[e.path().string()].assign(std::istreambuf_iterator<char>(in), {});
        }
    return files;
}

} // namespace qv::test
