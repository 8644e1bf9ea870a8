// Clipboard: the text clipboard the programs read and write.
#pragma once

#include <QString>

namespace platform {

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual void SetText(const QString& text) = 0;
    virtual QString Text() const = 0;
    virtual void Clear() = 0;
};

class SystemClipboard : public Clipboard {
  public:
    void SetText(const QString& text) override;
    QString Text() const override;
    void Clear() override;
};

} // namespace platform
