// The test double of the archiver: records every call with its argument and answers from its
// settings; a successful extraction writes the scripted files into the destination of its
// command line.
#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

#include "platform/archiver.h"

namespace platform {

class ScriptedArchiver : public Archiver {
  public:
    struct Call {
        QString function; // "UnlhaGetVersion", "UnZip", ...
        QString argument; // the path or the command line; empty for the version calls
    };

    bool missing = false; // the version calls throw ArchiverMissing
    int checkResult = 1;
    int runResult = 0;
    long fileCount = 0;
    std::vector<std::pair<QString, QByteArray>> files; // name, content

    const std::vector<Call>& Calls() const { return calls_; }

    int UnlhaGetVersion() override { return Version("UnlhaGetVersion"); }
    int UnlhaCheckArchive(const QString& path, int) override {
        return Record("UnlhaCheckArchive", path, checkResult);
    }
    int Unlha(intptr_t, const QString& commandLine, QString& output, int) override {
        return Run("Unlha", commandLine, output);
    }
    long UnlhaGetFileCount(const QString& path) override {
        return Record("UnlhaGetFileCount", path, fileCount);
    }
    int UnZipGetVersion() override { return Version("UnZipGetVersion"); }
    int UnZipCheckArchive(const QString& path, int) override {
        return Record("UnZipCheckArchive", path, checkResult);
    }
    int UnZip(intptr_t, const QString& commandLine, QString& output, int) override {
        return Run("UnZip", commandLine, output);
    }
    long UnZipGetFileCount(const QString& path) override {
        return Record("UnZipGetFileCount", path, fileCount);
    }

  private:
    template <class T> T Record(const char* function, const QString& argument, T result) {
        calls_.push_back({QString::fromLatin1(function), argument});
        return result;
    }
    int Version(const char* function);
    int Run(const char* function, const QString& commandLine, QString& output);
    std::vector<Call> calls_;
};

} // namespace platform
