// Running the real program as a child with no display, for the command lines that open no
// window.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <string>

namespace tavorintest {

struct ProgramRun {
    int status; // the exit code, -1 for a crash
    QString out;
    QString err;
};

inline ProgramRun RunTavorin(const std::string& workdir, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TAVORIN_EXE),
                  QStringList{QStringLiteral("--workdir"), QString::fromStdString(workdir)} +
                      arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace tavorintest
