// The test double of the archiver.
#include "platform/scripted_archiver.h"

#include <QDir>
#include <QFile>

namespace platform {

int ScriptedArchiver::Version(const char* function) {
    calls_.push_back({QString::fromLatin1(function), QString()});
    if (missing) throw ArchiverMissing{};
    return 1;
}

int ScriptedArchiver::Run(const char* function, const QString& commandLine, QString& output) {
    calls_.push_back({QString::fromLatin1(function), commandLine});
    output.clear();
    if (runResult != 0) return runResult;
    const std::optional<ArchiverCommand> command = ParseArchiverCommand(commandLine);
    if (!command) return kArchiverBadCommand;
    const QDir destination(command->destination);
    for (const auto& [name, content] : files) {
        QFile file(destination.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return kArchiverWriteFailed;
        output += name + QLatin1Char('\n');
    }
    return 0;
}

} // namespace platform
