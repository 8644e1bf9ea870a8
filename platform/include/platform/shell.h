// Shell: opening a document with the desktop's handler (the manuals).
#pragma once

#include <QString>

namespace platform {

class Shell {
  public:
    virtual ~Shell() = default;
    // Opens the file with the desktop's handler for its kind; false when nothing answered.
    virtual bool Open(const QString& path) = 0;
};

class DesktopShell : public Shell {
  public:
    bool Open(const QString& path) override;
};

} // namespace platform
