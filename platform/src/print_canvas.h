// Drawing printer operations onto a Qt paint device: twips scaled to the device, the host's
// font names mapped to installed fonts, and the printer's page rule (a page begins with the
// first drawing after a break, so no empty page is ever made).
#pragma once

#include <QFont>
#include <QHash>
#include <QPageLayout>
#include <QString>

#include "platform/printer.h"

class QPagedPaintDevice;
class QPainter;

namespace platform {

// The paper of a form: A4 portrait with margins of 5 mm, which leaves the printable area the
// forms are laid out for (7.75 by 10.3 inches and more).
QPageLayout FormPageLayout();

// The printer's page rule: the first drawing begins page 1; a break (NewPage, EndDoc) turns
// the page only when a drawing follows it.
class PageRule {
  public:
    // Before each drawing: true when it begins a page after the first.
    bool BeforeDrawing() {
        if (pages_ == 0) {
            pages_ = 1;
            return false;
        }
        if (!pending_) return false;
        pending_ = false;
        ++pages_;
        return true;
    }
    void Break() {
        if (pages_ > 0) pending_ = true;
    }
    int Pages() const { return pages_; }

  private:
    int pages_ = 0;
    bool pending_ = false;
};

class PrintCanvas {
  public:
    // painter must be active on device.
    PrintCanvas(QPainter& painter, QPagedPaintDevice& device);

    // Draws a Text or Line, or notes the page break of a NewPage or EndDoc. False when the
    // device refused a new page.
    bool Apply(const PrintOp& op);
    // Pages begun so far.
    int Pages() const { return rule_.Pages(); }

  private:
    bool BeginDrawing();
    void SetUpPainter();
    void UseFont(const QString& hostName, double points);

    QPainter& painter_;
    QPagedPaintDevice& device_;
    PageRule rule_;
    QHash<QString, QString> families_; // host font name: the family standing in for it
    QString fontName_;
    double fontSize_ = -1;
    double ascent_ = 0;
};

} // namespace platform
