// A workspace transaction bound to a scope: the constructor begins it, Commit commits it, and
// leaving the scope any other way (an early return, an exception) rolls back everything begun
// since the constructor, nested levels left open inside included. Rollback ends it early.
//
//     engine::TransactionGuard transaction(ws);
//     ... changes ...
//     transaction.Commit();
//
// A Commit that fails leaves the guard active, so that leaving the scope rolls back, as the
// workspace wants after a failed CommitTrans. The guard can be moved (a transaction begun in
// one function and ended in another), never copied.
#pragma once

#include "engine/workspace.h"

namespace engine {

class TransactionGuard {
  public:
    // Begins a transaction on ws (errors of BeginTrans propagate; nothing is then begun).
    explicit TransactionGuard(Workspace& ws);
    // Rolls back when still active; a failure of that rollback is swallowed (a destructor
    // cannot report it, and the workspace has left the levels in any case).
    ~TransactionGuard();
    TransactionGuard(TransactionGuard&& other) noexcept;
    TransactionGuard& operator=(TransactionGuard&&) = delete;
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // Commits the guard's transaction; 3034 when the guard has ended already.
    void Commit();
    // Rolls back down to the level the guard began at; errors of Rollback propagate, the
    // guard has ended either way. 3034 when the guard has ended already.
    void Rollback();
    // Whether the transaction is still open and the guard's to end.
    bool Active() const { return ws_ != nullptr; }

  private:
    void RollBackLevels();

    Workspace* ws_; // null once ended
    int outerLevel_;
};

} // namespace engine
