#pragma once

#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace qv::test {

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
};

// Runs qvtool with a private XDG_CONFIG_HOME so the user's own QV.INI is never read.
inline ToolRun qvtool(const QStringList& args, const QString& configHome)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QVTOOL_PATH), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
        QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()) };
}

} // namespace qv::test
