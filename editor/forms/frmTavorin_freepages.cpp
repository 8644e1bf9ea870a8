// Giving the pages a save freed (the old table's) back to the file system. A save leaves the
// file about twice the size of its data; shrinking it at once would cost a second write of the
// whole table inside the save. Instead a timer gives back a few megabytes at a time, each in a
// write of its own, whenever the window is idle and no transaction is open; every step is a
// complete SQLite transaction, so stopping at any point loses nothing.
#include <QApplication>

#include "engine/error.h"
#include "engine/workspace.h"
#include "forms/frmTavorin.h"
#include "modules/WorkStore.h"

namespace tavorin {
namespace {

// 2048 pages of 4 KB: about 8 MB, a step of well under a tenth of a second.
constexpr long kPagesAtATime = 2048;

} // namespace

bool frmTavorin::ReleasingFreePages() const {
    return freePagesTimer_ && freePagesTimer_->isActive();
}

void frmTavorin::StartReleasingFreePages() {
    StopReleasingFreePages();
    try {
        freePagesDb_ = App.Store.Ws->OpenDatabase(App.CurrentFile.FullPath);
    } catch (const engine::Error&) {
        return; // the pages stay free; the next save uses them
    }
    if (!freePagesTimer_) {
        freePagesTimer_ = new QTimer(this);
        freePagesTimer_->setInterval(0);
        connect(freePagesTimer_, &QTimer::timeout, this, [this] { ReleaseSomeFreePages(); });
    }
    freePagesTimer_->start();
}

void frmTavorin::StopReleasingFreePages() {
    if (freePagesTimer_) freePagesTimer_->stop();
    if (freePagesDb_) {
        freePagesDb_->Close();
        freePagesDb_.reset();
    }
}

void frmTavorin::ReleaseSomeFreePages() {
    // Not in the middle of a command: a transaction or a question on screen waits for the user.
    if (App.Store.Ws->TransactionLevel() > 0 || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget())
        return;
    if (!freePagesDb_ || freePagesDb_->Name() != App.CurrentFile.FullPath)
        return StopReleasingFreePages();
    try {
        if (freePagesDb_->ReleaseFreePages(kPagesAtATime) == 0) StopReleasingFreePages();
    } catch (const engine::Error&) {
        // A locked or full file: the pages stay free for the next save to use.
        StopReleasingFreePages();
    }
}

} // namespace tavorin
