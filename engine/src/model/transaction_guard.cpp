#include "engine/transaction_guard.h"

#include <exception>

#include "engine/error.h"

namespace engine {

TransactionGuard::TransactionGuard(Workspace& ws) : ws_(&ws), outerLevel_(ws.TransactionLevel()) {
    try {
        ws.BeginTrans();
    } catch (...) {
        ws_ = nullptr;
        throw;
    }
}

TransactionGuard::~TransactionGuard() {
    if (!ws_) return;
    try {
        RollBackLevels();
    } catch (...) {
    }
}

TransactionGuard::TransactionGuard(TransactionGuard&& other) noexcept
    : ws_(other.ws_), outerLevel_(other.outerLevel_) {
    other.ws_ = nullptr;
}

void TransactionGuard::Commit() {
    if (!ws_) Throw(err::kNotInTransaction);
    ws_->CommitTrans();
    ws_ = nullptr;
}

void TransactionGuard::Rollback() {
    if (!ws_) Throw(err::kNotInTransaction);
    RollBackLevels();
}

void TransactionGuard::RollBackLevels() {
    Workspace& ws = *ws_;
    ws_ = nullptr;
    // Every Rollback takes one level off, also one that fails; the first failure is reported
    // once the guard's levels are all gone.
    std::exception_ptr failure;
    while (ws.TransactionLevel() > outerLevel_) {
        try {
            ws.Rollback();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

} // namespace engine
